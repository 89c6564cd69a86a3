#include "ui/dialogstateshelter.h"

#include <windows.h>

#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

// Every Qt program's settings, and the part that programs share when they
// give no name of their own, as the file dialog does.
const wchar_t qtKey[] = L"Software\\QtProject";
const wchar_t sharedKey[] = L"Software\\QtProject\\OrganizationDefaults";

struct CloseKey
{
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, CloseKey>;

Key openKey(HKEY parent, const wchar_t *name)
{
    HKEY key = nullptr;
    return Key(RegOpenKeyExW(parent, name, 0, KEY_READ, &key) == ERROR_SUCCESS ? key : nullptr);
}

// A key's values and subkeys, read into memory.
struct Tree
{
    struct Value
    {
        std::wstring name;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
    };
    std::vector<Value> values;
    std::vector<std::pair<std::wstring, Tree>> keys;
};

std::optional<Tree> read(HKEY parent, const wchar_t *name)
{
    const Key key = openKey(parent, name);
    DWORD keyCount = 0;
    DWORD longestKey = 0;
    DWORD valueCount = 0;
    DWORD longestName = 0;
    DWORD largestValue = 0;
    if (!key || RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &keyCount, &longestKey,
                                 nullptr, &valueCount, &longestName, &largestValue, nullptr,
                                 nullptr) != ERROR_SUCCESS)
        return std::nullopt;
    Tree tree;
    for (DWORD i = 0; i < valueCount; ++i) {
        Tree::Value value;
        value.name.resize(longestName + 1);
        value.data.resize(largestValue);
        DWORD nameLength = longestName + 1;
        DWORD size = largestValue;
        if (RegEnumValueW(key.get(), i, value.name.data(), &nameLength, nullptr, &value.type,
                          value.data.data(), &size) != ERROR_SUCCESS)
            continue;
        value.name.resize(nameLength);
        value.data.resize(size);
        tree.values.push_back(std::move(value));
    }
    for (DWORD i = 0; i < keyCount; ++i) {
        std::wstring subkey(longestKey + 1, L'\0');
        DWORD length = longestKey + 1;
        if (RegEnumKeyExW(key.get(), i, subkey.data(), &length, nullptr, nullptr, nullptr,
                          nullptr) != ERROR_SUCCESS)
            continue;
        subkey.resize(length);
        if (std::optional<Tree> child = read(key.get(), subkey.c_str()))
            tree.keys.emplace_back(std::move(subkey), std::move(*child));
    }
    return tree;
}

void write(HKEY parent, const wchar_t *name, const Tree &tree)
{
    HKEY created = nullptr;
    if (RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        &created, nullptr) != ERROR_SUCCESS)
        return;
    const Key key(created);
    for (const Tree::Value &value : tree.values)
        RegSetValueExW(key.get(), value.name.c_str(), 0, value.type, value.data.data(),
                       DWORD(value.data.size()));
    for (const auto &[subkey, child] : tree.keys)
        write(key.get(), subkey.c_str(), child);
}

} // namespace

struct DialogStateShelter::Kept
{
    bool qtKeyExisted = false;
    // The shared settings as they were; none: there were none.
    std::optional<Tree> shared;
};

DialogStateShelter::DialogStateShelter() : m_kept(std::make_unique<Kept>())
{
    m_kept->qtKeyExisted = bool(openKey(HKEY_CURRENT_USER, qtKey));
    m_kept->shared = read(HKEY_CURRENT_USER, sharedKey);
}

DialogStateShelter::~DialogStateShelter()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, sharedKey);
    if (m_kept->shared)
        write(HKEY_CURRENT_USER, sharedKey, *m_kept->shared);
    else if (!m_kept->qtKeyExisted)
        // Only while empty: what another program put there meanwhile stays.
        RegDeleteKeyW(HKEY_CURRENT_USER, qtKey);
}
