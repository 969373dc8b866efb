// RegKey: a key of the Windows registry, or of the registry hive file that stands in
// for it on POSIX (registry_hive.h). Nothing is cached: every read asks the
// registry, every write is made at once.
//
// A key opened without create that does not exist is "not open": it reads every
// value as missing (0, empty text) and refuses writes. A key opened for reading
// (without KEY_SET_VALUE in its access) refuses every write with InternalError
// before anything is written.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum class RegistryRoot { LocalMachine, CurrentUser, ClassesRoot };

// Access masks used by the plug-in.
enum RegAccess : unsigned {
    RegAccessAll = 0xF003F,  // KEY_ALL_ACCESS
    RegAccessRead = 0x20019, // KEY_READ
};

enum class RegValueType { String, Dword, Other };

// The content of one value.
struct RegData {
    RegValueType type = RegValueType::String;
    std::uint32_t dword = 0;
    std::string text;

    static RegData Dword(std::uint32_t value) { return RegData{RegValueType::Dword, value, {}}; }
    static RegData String(std::string value) { return RegData{RegValueType::String, 0, std::move(value)}; }
    friend bool operator==(const RegData&, const RegData&) = default;
};

// The name of a root as registry files write it: "HKEY_LOCAL_MACHINE", ...
const char* RegistryRootName(RegistryRoot root);

class RegKey {
public:
    // A reference to one value of the key; the empty name is the key's default value.
    class Value {
    public:
        bool Valid() const; // the value exists
        RegValueType Type() const;

        // A DWORD: 0 when missing. A value of another type raises InvalidValue.
        operator int() const;
        std::uint32_t Dword() const;
        // A string: empty when missing. A value of another type raises InvalidValue.
        operator std::string() const;
        std::string Text() const;

        Value& operator=(int value);             // writes a DWORD
        Value& operator=(std::uint32_t value);   // writes a DWORD
        Value& operator=(const char* text);      // writes a string
        Value& operator=(const std::string& text);
        void Delete(); // removes the value; a missing value is no error

    private:
        friend class RegKey;
        Value(RegKey& key, std::string name) : key_(key), name_(std::move(name)) {}

        RegKey& key_;
        std::string name_;
    };

    // Opens `path` under a root. With `create` the key and its missing parents are
    // created; a failure to create raises WindowsError.
    RegKey(RegistryRoot root, const std::string& path, bool create, unsigned access);
    // Opens a subkey of an open key the same way (a parent that is not open gives a key that is not open).
    RegKey(const RegKey& parent, const std::string& subPath, bool create, unsigned access);
    ~RegKey();
    RegKey(RegKey&&) noexcept;
    RegKey& operator=(RegKey&&) noexcept;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    bool IsOpen() const noexcept;
    bool IsWritable() const noexcept;
    RegistryRoot Root() const noexcept;
    const std::string& Path() const noexcept;

    Value operator[](const std::string& name) { return Value(*this, name); }

    std::optional<RegData> Read(const std::string& name) const;
    bool HasValue(const std::string& name) const { return Read(name).has_value(); }
    // A DWORD, or `fallback` when missing; a value of another type raises InvalidValue.
    std::uint32_t ReadDword(const std::string& name, std::uint32_t fallback = 0) const;
    // A string, or "" when missing; a value of another type raises InvalidValue.
    std::string ReadString(const std::string& name) const;
    void Write(const std::string& name, const RegData& data);
    void DeleteValue(const std::string& name);
    // Puts the key's written values on stable storage before returning (each write of
    // the POSIX hive already is).
    void Flush();

    std::vector<std::string> ValueNames() const;
    std::vector<std::string> SubkeyNames() const;
    bool HasSubkey(const std::string& name) const;

    // Copies the whole tree of a subkey of this key into `destination` (values and
    // subkeys, merged over what is there).
    void CopyTree(const std::string& sourceSubkey, RegKey& destination) const;
    // Deletes a subkey with its whole tree; a missing subkey is no error.
    void DeleteTree(const std::string& subkey);
    // Creates a subkey that does not exist yet, as one step no other writer (thread or
    // process) can come between: of many racing callers exactly one gets true. False,
    // with nothing changed, when the subkey exists already.
    bool CreateNewSubkey(const std::string& subkey);

    // Reads a DWORD value, computes its new value and writes it, as one step that no
    // other writer of the registry (thread or process) can come between. The
    // function gets the current value (nullopt when missing) and returns the new one;
    // returns the value written. An exception from the function writes nothing.
    std::uint32_t UpdateDword(const std::string& name,
                              const std::function<std::uint32_t(std::optional<std::uint32_t>)>& change);

    struct Impl; // platform part
    struct ImplDeleter {
        void operator()(Impl* impl) const noexcept; // defined by the platform part
    };
    using ImplPointer = std::unique_ptr<Impl, ImplDeleter>;

private:
    static ImplPointer OpenSubkey(const RegKey& parent, const std::string& subPath, bool create,
                                            unsigned access);
    void CheckWritable() const;

    ImplPointer impl_;
};
