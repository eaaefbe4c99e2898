// The names a program's settings and data go by, as installers write them: keys
// under "Software" and folders in the application data folders named after the
// product ("AcmeWriter" for "Acme Writer 2") or its vendor ("Acme" for "Acme
// Software Ltd."). Names compare with case, spaces and punctuation ignored and a
// trailing version number dropped; generic names never count.
#pragma once
#include <string>
#include <vector>

// The form names compare in: ASCII letters folded, blanks and ASCII punctuation
// dropped, double-byte characters kept whole, a trailing version ("2", "v2.5",
// "(x64)") dropped. Empty for a generic name and for one too short to tell a
// program by.
std::string NameKey(const char* name);

// The names a publisher goes by as a vendor: itself, without its legal form
// ("Ltd", "有限公司"), without every company word ("Software", "科技"), and its first
// word when that has at least four letters.
std::vector<std::string> VendorKeysOfPublisher(const char* publisher);

class ProgramNames {
public:
    void Clear();
    // Each adds the name's key, unless it is generic.
    void AddProduct(const char* name);
    // The base name of a program file: "AcmeWriter" of "C:\...\AcmeWriter.exe".
    void AddProgramFile(const char* path);
    void AddVendor(const char* name);
    void AddPublisher(const char* publisher);

    bool IsProduct(const char* name) const;
    bool IsVendor(const char* name) const;
    bool HasProducts() const { return !products.empty(); }
    // The names as they were given, for looking up keys by name.
    const std::vector<std::string>& ProductSpellings() const { return productSpellings; }

private:
    static void AddKey(std::vector<std::string>* keys, const std::string& key);

    std::vector<std::string> products;
    std::vector<std::string> vendors;
    std::vector<std::string> productSpellings;
};
