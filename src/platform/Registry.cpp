#include "platform/Registry.h"

#include <algorithm>
#include <cstring>

namespace kessaro {

namespace {

// A subkey of the in-memory tree; it does not own its node.
class TMemoryKey : public TRegistryKey {
 public:
  explicit TMemoryKey(TMemoryRegistry::Node* node) : node_(node) {}

  std::optional<TRegValue> QueryValue(const std::string& name) const override {
    auto it = node_->Values.find(name);
    if (it == node_->Values.end()) return std::nullopt;
    return it->second;
  }
  bool SetValue(const std::string& name, const TRegValue& value) override {
    node_->Values[name] = value;
    return true;
  }
  bool DeleteValue(const std::string& name) override { return node_->Values.erase(name) > 0; }
  std::unique_ptr<TRegistryKey> OpenSubKey(const std::string& path, bool create) override;

 private:
  TMemoryRegistry::Node* node_;
};

std::unique_ptr<TRegistryKey> OpenMemoryKey(TMemoryRegistry::Node* node, const std::string& path,
                                            bool create) {
  for (const std::string& part : SplitKeyPath(path)) {
    auto it = node->Keys.find(part);
    if (it == node->Keys.end()) {
      if (!create) return nullptr;
      it = node->Keys.emplace(part, std::make_unique<TMemoryRegistry::Node>()).first;
    }
    node = it->second.get();
  }
  return std::make_unique<TMemoryKey>(node);
}

std::unique_ptr<TRegistryKey> TMemoryKey::OpenSubKey(const std::string& path, bool create) {
  return OpenMemoryKey(node_, path, create);
}

}  // namespace

TRegValue DwordValue(std::uint32_t number) {
  TRegValue v{rtDword, std::vector<std::uint8_t>(4)};
  for (int i = 0; i < 4; ++i) v.Data[i] = static_cast<std::uint8_t>(number >> (8 * i));
  return v;
}

std::optional<std::uint32_t> DwordNumber(const std::vector<std::uint8_t>& data) {
  if (data.size() != 4) return std::nullopt;
  std::uint32_t number = 0;
  for (int i = 3; i >= 0; --i) number = number << 8 | data[i];
  return number;
}

std::vector<std::string> SplitKeyPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

std::unique_ptr<TRegistryKey> OpenKeyForRead(TRegistryKey& parent, const std::string& path) {
  if (auto key = parent.OpenSubKey(path, false)) return key;
  return parent.OpenSubKey(path, true);
}

std::unique_ptr<TRegistryKey> OpenKeyForWrite(TRegistryKey& parent, const std::string& path) {
  return parent.OpenSubKey(path, true);
}

std::uint32_t ReadInteger(const TRegistryKey& key, const std::string& name, std::uint32_t def) {
  auto v = key.QueryValue(name);
  if (!v || v->Type != rtDword) return def;
  return DwordNumber(v->Data).value_or(def);
}

bool ReadBool(const TRegistryKey& key, const std::string& name, bool def) {
  return ReadInteger(key, name, def ? 1 : 0) != 0;
}

std::string ReadString(const TRegistryKey& key, const std::string& name, const std::string& def) {
  auto v = key.QueryValue(name);
  if (!v || (v->Type != rtString && v->Type != rtExpandString)) return def;
  auto end = std::find(v->Data.begin(), v->Data.end(), std::uint8_t{0});
  return std::string(v->Data.begin(), end);
}

std::size_t BinarySize(const TRegistryKey& key, const std::string& name) {
  auto v = key.QueryValue(name);
  if (!v || v->Type != rtBinary) return 0;
  return v->Data.size();
}

std::size_t ReadBinary(const TRegistryKey& key, const std::string& name, void* buffer,
                       std::uint8_t fill, std::size_t size) {
  if (size > 0) std::memset(buffer, fill, size);
  auto v = key.QueryValue(name);
  if (!v || v->Type != rtBinary) return 0;
  const std::size_t count = std::min(size, v->Data.size());
  if (count > 0) std::memcpy(buffer, v->Data.data(), count);
  return count;
}

void WriteInteger(TRegistryKey& key, const std::string& name, std::uint32_t value) {
  key.SetValue(name, DwordValue(value));
}

void WriteBool(TRegistryKey& key, const std::string& name, bool value) {
  WriteInteger(key, name, value ? 1 : 0);
}

void WriteString(TRegistryKey& key, const std::string& name, const std::string& value) {
  key.SetValue(name, TRegValue{rtString, std::vector<std::uint8_t>(value.begin(), value.end())});
}

void WriteBinary(TRegistryKey& key, const std::string& name, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  key.SetValue(name, TRegValue{rtBinary, std::vector<std::uint8_t>(bytes, bytes + size)});
}

TMemoryRegistry::TMemoryRegistry() : root_(std::make_unique<Node>()) {}
TMemoryRegistry::~TMemoryRegistry() = default;

std::optional<TRegValue> TMemoryRegistry::QueryValue(const std::string& name) const {
  auto it = root_->Values.find(name);
  if (it == root_->Values.end()) return std::nullopt;
  return it->second;
}

bool TMemoryRegistry::SetValue(const std::string& name, const TRegValue& value) {
  root_->Values[name] = value;
  return true;
}

bool TMemoryRegistry::DeleteValue(const std::string& name) {
  return root_->Values.erase(name) > 0;
}

std::unique_ptr<TRegistryKey> TMemoryRegistry::OpenSubKey(const std::string& path, bool create) {
  return OpenMemoryKey(root_.get(), path, create);
}

}  // namespace kessaro
