#pragma once
// The settings key over QSettings in INI format. Subkeys are groups; each value is kept as a
// byte array tagged with its type ("dword:", "sz:", "expand_sz:", "hex:") so that DWORD,
// string and binary values read back with their type.
#include <memory>
#include <string>

#include "platform/Registry.h"

class QSettings;

namespace kessaro {

class TQtRegistry : public TRegistryKey {
 public:
  // The user's settings file: <config dir>/Kessaro/Kessaro.ini.
  TQtRegistry();
  // Settings kept in the given INI file (tests).
  explicit TQtRegistry(const std::string& iniFile);
  ~TQtRegistry() override;

  std::optional<TRegValue> QueryValue(const std::string& name) const override;
  bool SetValue(const std::string& name, const TRegValue& value) override;
  bool DeleteValue(const std::string& name) override;
  std::unique_ptr<TRegistryKey> OpenSubKey(const std::string& path, bool create) override;
  // False when the file exists but cannot be read or parsed.
  bool Opened() const override;
  // False when the file or its folder cannot be written, or writing it failed.
  bool Writable() const override;
  // Writes pending changes to the file.
  void Sync();
  std::string FileName() const;

 private:
  TQtRegistry(std::shared_ptr<QSettings> settings, std::string group);
  std::string KeyOf(const std::string& name) const;

  std::shared_ptr<QSettings> settings_;
  std::string group_;  // "" or "a/b/"
};

}  // namespace kessaro
