#include "win/registry.h"

#include "registry_tree.h"
#include "win/escape.h"
#include "win/handle_table.h"
#include "win/serial_map.h"
#include "win/store.h"

#include "plat/regular_file.h"

#include <cstring>
#include <sys/stat.h>

namespace win {

namespace {

constexpr const char* kStoreFile = "registry.txt";

struct OpenKey {
    std::vector<std::string> path;
    REGSAM access = 0;
    bool serialMap = false;
    std::vector<RegValue> hardware; // the ports found when the key was opened
};

HandleTable<OpenKey> g_handles(0x1000);

// The rights that change a key, its values or its subkeys: DELETE,
// WRITE_DAC and WRITE_OWNER besides the key-specific ones.
constexpr REGSAM kChangingRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | 0x0020 | 0x00010000 | 0x00040000 | 0x00080000;

bool isMachinePath(const std::vector<std::string>& path)
{
    return !path.empty() && path.front() == "HKLM";
}

// What a process gets on a machine-wide key, whatever it asked for.
REGSAM machineRights()
{
    return mayChangeMachineStore() ? KEY_ALL_ACCESS : KEY_ALL_ACCESS & ~kChangingRights;
}

// The store as a transaction holds it: loaded once under the lock, changed
// in memory, written once.
struct LoadedStore {
    bool write = false;
    std::unique_ptr<StoreLock> lock;
    std::unique_ptr<RegNode> tree;
    bool changed = false;
    LONG status = ERROR_SUCCESS;
};

thread_local LoadedStore* t_store = nullptr;

std::string storePath()
{
    return storeRoot() + "/" + kStoreFile;
}

void loadStore(LoadedStore& store)
{
    if (store.write && !ensureStoreRoot()) {
        store.status = ERROR_REGISTRY_IO_FAILED;
        return;
    }
    const std::string path = storePath();
    struct stat st {};
    if (store.write || stat(storeRoot().c_str(), &st) == 0) {
        store.lock = std::make_unique<StoreLock>(path + ".lock", store.write);
        if (!store.lock->held()) {
            store.status = ERROR_REGISTRY_IO_FAILED;
            return;
        }
    }
    std::string text;
    switch (plat::readRegularFile(path, kMaxStoreBytes, text)) {
    case plat::FileCheck::Missing: store.tree = std::make_unique<RegNode>(); break;
    case plat::FileCheck::Ok:
        store.tree = parseTree(text);
        if (!store.tree)
            store.status = ERROR_REGISTRY_CORRUPT;
        break;
    // More than we ever write, or no file at all (a directory, a FIFO, a
    // device): not a store we can trust, and never "nothing stored".
    case plat::FileCheck::TooLarge:
    case plat::FileCheck::NotRegular: store.status = ERROR_REGISTRY_CORRUPT; break;
    case plat::FileCheck::Unreadable: store.status = ERROR_REGISTRY_IO_FAILED; break;
    }
    if (store.status != ERROR_SUCCESS) {
        store.tree.reset();
        return;
    }
    // The two roots always exist, stored or not.
    store.tree->addChild("HKLM");
    store.tree->addChild("HKCU");
}

LONG saveStore(const LoadedStore& store)
{
    const std::string text = serializeTree(*store.tree);
    // Refused here, so that the file never grows past what its reader takes.
    if (text.size() > kMaxStoreBytes)
        return ERROR_NOT_ENOUGH_QUOTA;
    return replaceFileAtomically(storePath(), text) ? ERROR_SUCCESS : ERROR_REGISTRY_IO_FAILED;
}

std::optional<OpenKey> lookUp(HKEY key)
{
    if (key == HKEY_LOCAL_MACHINE)
        return OpenKey{{"HKLM"}, machineRights(), false, {}};
    if (key == HKEY_CURRENT_USER)
        return OpenKey{{"HKCU"}, KEY_ALL_ACCESS, false, {}};
    auto open = g_handles.find(key);
    if (!open)
        return std::nullopt;
    return *open;
}

HKEY addHandle(OpenKey open)
{
    return g_handles.add<HKEY>(std::make_shared<OpenKey>(std::move(open)));
}

bool isSerialMapPath(const std::vector<std::string>& path)
{
    static const char* const kSerialMap[] = {"HKLM", "Hardware", "DeviceMap", "SerialComm"};
    if (path.size() > 4)
        return false;
    for (size_t i = 0; i < path.size(); ++i)
        if (!equalsIgnoreCase(path[i], kSerialMap[i]))
            return false;
    return true;
}

RegNode* find(RegNode& root, const std::vector<std::string>& path)
{
    RegNode* node = &root;
    for (const std::string& name : path) {
        node = node->child(name);
        if (!node)
            return nullptr;
    }
    return node;
}

// Runs the operation on the store: the one of this thread's transaction, or
// one loaded for this call alone. A writer that changed something has the
// file replaced (at once, or when the transaction commits).
template <class Operation>
LONG withStore(bool write, Operation&& operation)
{
    RegTransaction transaction(write);
    if (transaction.status() != ERROR_SUCCESS)
        return transaction.status();
    bool changed = false;
    LONG rc = operation(*t_store->tree, changed);
    if (changed)
        t_store->changed = true;
    if (rc != ERROR_SUCCESS)
        return rc;
    return transaction.commit();
}

// The common frame of the value and enumeration calls: a known handle with
// the access the call needs, and its key in the loaded store (null when the
// key is gone, or for the port map, not stored).
template <class Operation>
LONG withKey(HKEY key, REGSAM needed, bool write, Operation&& operation)
{
    auto open = lookUp(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (!(open->access & needed))
        return ERROR_ACCESS_DENIED;
    return withStore(write, [&](RegNode& root, bool& changed) -> LONG {
        return operation(*open, root, find(root, open->path), changed);
    });
}

std::optional<std::vector<std::string>> fullPath(const OpenKey& base, const char* subKey)
{
    auto names = splitKeyPath(subKey ? subKey : "");
    if (!names)
        return std::nullopt;
    std::vector<std::string> path = base.path;
    path.insert(path.end(), names->begin(), names->end());
    return path;
}

// The values a handle shows: the stored ones, and for the serial-port map
// the ports found at open that no stored value of the same name hides.
std::vector<RegValue> visibleValues(const OpenKey& open, const RegNode* node)
{
    std::vector<RegValue> values;
    if (node)
        values = node->values;
    for (const RegValue& hw : open.hardware)
        if (!node || !node->value(hw.name))
            values.push_back(hw);
    return values;
}

LONG copyData(const RegValue& value, DWORD* type, BYTE* data, DWORD* dataSize)
{
    if (type)
        *type = value.type;
    if (!dataSize)
        return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    const auto size = static_cast<DWORD>(value.data.size());
    if (data && *dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    if (data)
        std::memcpy(data, value.data.data(), size);
    *dataSize = size;
    return ERROR_SUCCESS;
}

LONG copyName(const std::string& name, char* buffer, DWORD* length)
{
    if (!buffer || !length)
        return ERROR_INVALID_PARAMETER;
    if (name.size() + 1 > *length)
        return ERROR_MORE_DATA;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *length = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

LONG openKey(HKEY key, const char* subKey, REGSAM access, bool create, HKEY* result,
             DWORD* disposition)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    auto base = lookUp(key);
    if (!base)
        return ERROR_INVALID_HANDLE;
    auto path = fullPath(*base, subKey);
    if (!path)
        return ERROR_INVALID_NAME;
    if (create && path->size() > base->path.size() && !(base->access & KEY_CREATE_SUB_KEY))
        return ERROR_ACCESS_DENIED;
    // Access is checked when a key is opened, as the original host does: a
    // caller that asks for more than it may have gets no handle at all.
    if (isMachinePath(*path) && (access & ~machineRights() & kChangingRights))
        return ERROR_ACCESS_DENIED;

    OpenKey open{*path, access, isSerialMapPath(*path) && path->size() == 4, {}};
    LONG rc = withStore(create, [&](RegNode& root, bool& changed) -> LONG {
        if (!find(root, base->path) && !isSerialMapPath(base->path))
            return ERROR_KEY_DELETED;
        if (find(root, *path)) {
            if (disposition)
                *disposition = REG_OPENED_EXISTING_KEY;
            return ERROR_SUCCESS;
        }
        if (!create)
            return isSerialMapPath(*path) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        if (path->size() > kMaxKeyDepth)
            return ERROR_BADKEY;
        RegNode* node = &root;
        for (const std::string& name : *path)
            node = &node->addChild(name);
        changed = true;
        if (disposition)
            *disposition = REG_CREATED_NEW_KEY;
        return ERROR_SUCCESS;
    });
    if (rc != ERROR_SUCCESS)
        return rc;
    if (open.serialMap)
        for (const SerialMapEntry& port : scanSerialPorts())
            open.hardware.push_back(RegValue{port.deviceName, REG_SZ, port.portName + '\0'});
    *result = addHandle(std::move(open));
    return ERROR_SUCCESS;
}

} // namespace

RegTransaction::RegTransaction(bool write)
{
    if (t_store) {
        status_ = write && !t_store->write ? ERROR_ACCESS_DENIED : t_store->status;
        return;
    }
    auto store = std::make_unique<LoadedStore>();
    store->write = write;
    loadStore(*store);
    status_ = store->status;
    outermost_ = true;
    t_store = store.release();
}

RegTransaction::~RegTransaction()
{
    if (!outermost_)
        return;
    delete t_store; // drops what was not committed, and the lock
    t_store = nullptr;
}

LONG RegTransaction::commit()
{
    if (status_ != ERROR_SUCCESS)
        return status_;
    if (!outermost_ || !t_store->changed)
        return ERROR_SUCCESS;
    const LONG rc = saveStore(*t_store);
    // What a later call changes is written by a later commit.
    if (rc == ERROR_SUCCESS)
        t_store->changed = false;
    return rc;
}

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM access, HKEY* result)
{
    return openKey(key, subKey, access, false, result, nullptr);
}

LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD, char*, DWORD, REGSAM access, void*,
                     HKEY* result, DWORD* disposition)
{
    return openKey(key, subKey, access, true, result, disposition);
}

LONG RegCloseKey(HKEY key)
{
    if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER)
        return ERROR_SUCCESS;
    return g_handles.remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, BYTE* data,
                      DWORD* dataSize)
{
    return withKey(key, KEY_QUERY_VALUE, false,
                   [&](OpenKey& open, RegNode&, RegNode* node, bool&) -> LONG {
                       if (!node && !open.serialMap)
                           return ERROR_KEY_DELETED;
                       for (const RegValue& v : visibleValues(open, node))
                           if (equalsIgnoreCase(v.name, valueName ? valueName : ""))
                               return copyData(v, type, data, dataSize);
                       return ERROR_FILE_NOT_FOUND;
                   });
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD type, const BYTE* data,
                    DWORD dataSize)
{
    if ((!data && dataSize) || dataSize > kMaxValueBytes)
        return ERROR_INVALID_PARAMETER;
    if (valueName && std::strlen(valueName) > kMaxValueName)
        return ERROR_INVALID_PARAMETER;
    std::string bytes(reinterpret_cast<const char*>(data), data ? dataSize : 0);
    return withKey(key, KEY_SET_VALUE, true,
                   [&](OpenKey& open, RegNode& root, RegNode* node, bool& changed) -> LONG {
                       if (!node && open.serialMap) {
                           node = &root;
                           for (const std::string& name : open.path)
                               node = &node->addChild(name);
                       }
                       if (!node)
                           return ERROR_KEY_DELETED;
                       node->setValue(valueName ? valueName : "", type, std::move(bytes));
                       changed = true;
                       return ERROR_SUCCESS;
                   });
}

LONG RegDeleteValueA(HKEY key, const char* valueName)
{
    return withKey(key, KEY_SET_VALUE, true,
                   [&](OpenKey&, RegNode&, RegNode* node, bool& changed) -> LONG {
                       if (!node)
                           return ERROR_FILE_NOT_FOUND;
                       changed = node->removeValue(valueName ? valueName : "");
                       return changed ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
                   });
}

LONG RegEnumValueA(HKEY key, DWORD index, char* valueName, DWORD* nameLength, DWORD*, DWORD* type,
                   BYTE* data, DWORD* dataSize)
{
    return withKey(key, KEY_QUERY_VALUE, false,
                   [&](OpenKey& open, RegNode&, RegNode* node, bool&) -> LONG {
                       if (!node && !open.serialMap)
                           return ERROR_KEY_DELETED;
                       auto values = visibleValues(open, node);
                       if (index >= values.size())
                           return ERROR_NO_MORE_ITEMS;
                       LONG rc = copyName(values[index].name, valueName, nameLength);
                       if (rc != ERROR_SUCCESS)
                           return rc;
                       return copyData(values[index], type, data, dataSize);
                   });
}

LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameLength, DWORD*, char* keyClass,
                   DWORD* classLength, void*)
{
    return withKey(key, KEY_ENUMERATE_SUB_KEYS, false,
                   [&](OpenKey& open, RegNode&, RegNode* node, bool&) -> LONG {
                       if (!node)
                           return open.serialMap ? ERROR_NO_MORE_ITEMS : ERROR_KEY_DELETED;
                       if (index >= node->children.size())
                           return ERROR_NO_MORE_ITEMS;
                       if (keyClass && classLength && *classLength) {
                           keyClass[0] = '\0';
                           *classLength = 0;
                       }
                       return copyName(node->children[index]->name, name, nameLength);
                   });
}

LONG RegDeleteKeyA(HKEY key, const char* subKey)
{
    auto open = lookUp(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    auto path = fullPath(*open, subKey);
    if (!path)
        return ERROR_INVALID_NAME;
    if (path->size() <= 1)
        return ERROR_ACCESS_DENIED; // the roots stay
    return withStore(true, [&](RegNode& root, bool& changed) -> LONG {
        RegNode* node = find(root, *path);
        if (!node)
            return ERROR_FILE_NOT_FOUND;
        if (!node->children.empty())
            return ERROR_ACCESS_DENIED;
        std::vector<std::string> parentPath(path->begin(), path->end() - 1);
        find(root, parentPath)->removeChild(path->back());
        changed = true;
        return ERROR_SUCCESS;
    });
}

LONG RegDeleteTreeA(HKEY key, const char* subKey)
{
    auto open = lookUp(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    auto path = fullPath(*open, subKey);
    if (!path)
        return ERROR_INVALID_NAME;
    return withStore(true, [&](RegNode& root, bool& changed) -> LONG {
        RegNode* node = find(root, *path);
        if (!node)
            return ERROR_FILE_NOT_FOUND;
        changed = true;
        if (path->size() == open->path.size() || path->size() <= 1) {
            // Naming no subkey empties the key itself but keeps it.
            node->children.clear();
            node->clearValues();
            return ERROR_SUCCESS;
        }
        std::vector<std::string> parentPath(path->begin(), path->end() - 1);
        find(root, parentPath)->removeChild(path->back());
        return ERROR_SUCCESS;
    });
}

} // namespace win
