// SHA-256 from the system's cryptographic provider (PROV_RSA_AES, present from
// Windows XP SP3): what a backup's list keeps of its .reg file and of every saved
// file, so that a file exchanged after the run is told from the one it saved.
#pragma once
#include <windows.h>
#include <wincrypt.h>

#include <string>

// Windows XP SP3 has it; the headers name it only for builds that target SP3.
#ifndef CALG_SHA_256
#define CALG_SHA_256 (ALG_CLASS_HASH | ALG_TYPE_ANY | 12)  // ALG_SID_SHA_256
#endif

class CSha256 {
public:
    CSha256();
    ~CSha256();
    CSha256(const CSha256&) = delete;
    CSha256& operator=(const CSha256&) = delete;

    // False when the provider is missing or a step failed; every later call fails too.
    bool Add(const void* data, size_t size);
    // The digest as 64 upper-case hexadecimal digits; empty after a failure. Ends the hash.
    std::string Hex();

private:
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    bool failed = false;
};

// The digest of bytes; empty when the provider fails.
std::string Sha256Hex(const std::string& bytes);

// The digest of the file at path, opened as itself (never through a link), when it
// is a plain file of at most cap bytes; false otherwise.
bool HashFile(const char* path, ULONGLONG cap, std::string* hex);

// True for 64 upper-case hexadecimal digits, the form Hex gives.
bool IsSha256Hex(const std::string& text);
