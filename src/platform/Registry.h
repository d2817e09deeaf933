#pragma once
// The settings key: typed values (DWORD, string, expandable string, binary) in a tree of
// subkeys, read and written through small helpers that fall back to a default on any failure
// (missing value, wrong type). The front end keeps the tree in an INI file; tests keep it in
// memory.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kessaro {

enum TRegType : std::uint8_t { rtDword, rtString, rtExpandString, rtBinary };

struct TRegValue {
  TRegType Type = rtBinary;
  std::vector<std::uint8_t> Data;
  friend bool operator==(const TRegValue&, const TRegValue&) = default;
};

// A DWORD value's data is its number as four little-endian bytes. The platform floor lies
// below the stored-format toolkit, so the registry keeps this one pair of its own.
TRegValue DwordValue(std::uint32_t number);
// The number of a DWORD value's data; nullopt unless it is four bytes.
std::optional<std::uint32_t> DwordNumber(const std::vector<std::uint8_t>& data);

// One open key. Subkey paths use "\\" between names; "" names the key's default value.
class TRegistryKey {
 public:
  virtual ~TRegistryKey() = default;
  virtual std::optional<TRegValue> QueryValue(const std::string& name) const = 0;
  virtual bool SetValue(const std::string& name, const TRegValue& value) = 0;
  virtual bool DeleteValue(const std::string& name) = 0;
  // nullptr when the subkey is missing and `create` is off, or cannot be made.
  virtual std::unique_ptr<TRegistryKey> OpenSubKey(const std::string& path, bool create) = 0;
  // Whether the settings store could be read, and whether changes can be written to it; the
  // workspace tells the user when they cannot.
  virtual bool Opened() const { return true; }
  virtual bool Writable() const { return true; }
};

// Opening a subkey for reading or for writing: both create it when it is missing.
std::unique_ptr<TRegistryKey> OpenKeyForRead(TRegistryKey& parent, const std::string& path);
std::unique_ptr<TRegistryKey> OpenKeyForWrite(TRegistryKey& parent, const std::string& path);

std::uint32_t ReadInteger(const TRegistryKey& key, const std::string& name, std::uint32_t def);
bool ReadBool(const TRegistryKey& key, const std::string& name, bool def);
// A string or expandable string, cut at its first zero byte.
std::string ReadString(const TRegistryKey& key, const std::string& name, const std::string& def);
// The stored size of a binary value, else 0.
std::size_t BinarySize(const TRegistryKey& key, const std::string& name);
// Fills `size` bytes with `fill`, then copies min(size, stored size) bytes of a binary value and
// returns that count (0 when the value is not binary).
std::size_t ReadBinary(const TRegistryKey& key, const std::string& name, void* buffer,
                       std::uint8_t fill, std::size_t size);

void WriteInteger(TRegistryKey& key, const std::string& name, std::uint32_t value);
void WriteBool(TRegistryKey& key, const std::string& name, bool value);
void WriteString(TRegistryKey& key, const std::string& name, const std::string& value);
void WriteBinary(TRegistryKey& key, const std::string& name, const void* data, std::size_t size);

// An in-memory tree of keys; an opened subkey refers into the tree, which must outlive it.
class TMemoryRegistry : public TRegistryKey {
 public:
  TMemoryRegistry();
  ~TMemoryRegistry() override;
  std::optional<TRegValue> QueryValue(const std::string& name) const override;
  bool SetValue(const std::string& name, const TRegValue& value) override;
  bool DeleteValue(const std::string& name) override;
  std::unique_ptr<TRegistryKey> OpenSubKey(const std::string& path, bool create) override;

  struct Node {
    std::map<std::string, TRegValue> Values;
    std::map<std::string, std::unique_ptr<Node>> Keys;
  };

 private:
  std::unique_ptr<Node> root_;
};

// Splits a key path at "\\" (and "/"), dropping empty parts.
std::vector<std::string> SplitKeyPath(const std::string& path);

}  // namespace kessaro
