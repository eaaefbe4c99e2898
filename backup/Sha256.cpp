#include "backup/Sha256.h"

#include "framework/Handles.h"

#include <cstdio>
#include <vector>

CSha256::CSha256()
{
    failed = !CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT | CRYPT_SILENT);
    if (failed)
        provider = 0;
    else
        failed = !CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash);
}

CSha256::~CSha256()
{
    if (hash)
        CryptDestroyHash(hash);
    if (provider)
        CryptReleaseContext(provider, 0);
}

bool CSha256::Add(const void* data, size_t size)
{
    const BYTE* bytes = static_cast<const BYTE*>(data);
    while (!failed && size > 0) {
        DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        failed = !CryptHashData(hash, bytes, chunk, 0);
        bytes += chunk;
        size -= chunk;
    }
    return !failed;
}

std::string CSha256::Hex()
{
    BYTE digest[32];
    DWORD size = sizeof(digest);
    if (failed || !CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0) || size != sizeof(digest)) {
        failed = true;
        return std::string();
    }
    failed = true;  // the provider hashes nothing more after HP_HASHVAL
    char text[2 * sizeof(digest) + 1];
    for (DWORD i = 0; i < size; ++i)
        snprintf(text + 2 * i, 3, "%02X", digest[i]);
    return text;
}

std::string Sha256Hex(const std::string& bytes)
{
    CSha256 sha;
    return sha.Add(bytes.data(), bytes.size()) ? sha.Hex() : std::string();
}

bool HashFile(const char* path, ULONGLONG cap, std::string* hex)
{
    hex->clear();
    OwnedFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return false;
    ULONGLONG size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > cap)
        return false;
    CSha256 sha;
    std::vector<char> buffer(65536);
    ULONGLONG total = 0;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return false;
        if (read == 0)
            break;
        total += read;
        // A file that grows while it is read is not the one that was measured.
        if (total > size || !sha.Add(buffer.data(), read))
            return false;
    }
    if (total != size)
        return false;
    *hex = sha.Hex();
    return !hex->empty();
}

bool IsSha256Hex(const std::string& text)
{
    return text.size() == 64 && text.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}
