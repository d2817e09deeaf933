#include "platform/qt/QtRegistry.h"

#include <QSettings>
#include <cstring>
#include <filesystem>

namespace kessaro {

namespace {

// Value names may hold the group separators; "" is the key's default value.
std::string EscapeName(const std::string& name) {
  if (name.empty()) return "%default";
  std::string out;
  for (char c : name) {
    if (c == '%')
      out += "%25";
    else if (c == '/')
      out += "%2F";
    else if (c == '\\')
      out += "%5C";
    else
      out += c;
  }
  return out;
}

QString ToQString(const std::string& s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

struct TTag {
  const char* Prefix;
  TRegType Type;
};
constexpr TTag kTags[] = {
    {"dword:", rtDword}, {"sz:", rtString}, {"expand_sz:", rtExpandString}, {"hex:", rtBinary}};

}  // namespace

TQtRegistry::TQtRegistry()
    : settings_(std::make_shared<QSettings>(QSettings::IniFormat, QSettings::UserScope, "Kessaro",
                                            "Kessaro")) {}

TQtRegistry::TQtRegistry(const std::string& iniFile)
    : settings_(std::make_shared<QSettings>(ToQString(iniFile), QSettings::IniFormat)) {}

TQtRegistry::TQtRegistry(std::shared_ptr<QSettings> settings, std::string group)
    : settings_(std::move(settings)), group_(std::move(group)) {}

TQtRegistry::~TQtRegistry() = default;

std::string TQtRegistry::KeyOf(const std::string& name) const {
  return group_ + EscapeName(name);
}

std::optional<TRegValue> TQtRegistry::QueryValue(const std::string& name) const {
  const QVariant v = settings_->value(ToQString(KeyOf(name)));
  if (!v.isValid()) return std::nullopt;
  const QByteArray bytes = v.toByteArray();
  for (const TTag& tag : kTags) {
    const auto length = static_cast<qsizetype>(std::strlen(tag.Prefix));
    if (!bytes.startsWith(tag.Prefix)) continue;
    TRegValue value{tag.Type, {}};
    value.Data.assign(bytes.begin() + length, bytes.end());
    if (tag.Type == rtDword) {
      // Stored as eight hex digits, handed out as the four little-endian bytes.
      bool ok = false;
      const std::uint32_t n = bytes.mid(length).toUInt(&ok, 16);
      if (!ok) return std::nullopt;
      value.Data = DwordValue(n).Data;
    }
    return value;
  }
  return std::nullopt;
}

bool TQtRegistry::SetValue(const std::string& name, const TRegValue& value) {
  QByteArray bytes;
  for (const TTag& tag : kTags)
    if (tag.Type == value.Type) bytes = tag.Prefix;
  if (value.Type == rtDword) {
    const std::optional<std::uint32_t> n = DwordNumber(value.Data);
    if (!n) return false;
    bytes += QByteArray::number(*n, 16).rightJustified(8, '0');
  } else {
    bytes.append(reinterpret_cast<const char*>(value.Data.data()),
                 static_cast<qsizetype>(value.Data.size()));
  }
  settings_->setValue(ToQString(KeyOf(name)), bytes);
  return settings_->status() == QSettings::NoError;
}

bool TQtRegistry::DeleteValue(const std::string& name) {
  const QString key = ToQString(KeyOf(name));
  if (!settings_->contains(key)) return false;
  settings_->remove(key);
  return true;
}

std::unique_ptr<TRegistryKey> TQtRegistry::OpenSubKey(const std::string& path, bool create) {
  std::string group = group_;
  for (const std::string& part : SplitKeyPath(path)) group += EscapeName(part) + "/";
  if (!create) {
    // A group exists once something is stored in it.
    settings_->beginGroup(ToQString(group));
    const bool exists = !settings_->childKeys().isEmpty() || !settings_->childGroups().isEmpty();
    settings_->endGroup();
    if (!exists) return nullptr;
  }
  return std::unique_ptr<TRegistryKey>(new TQtRegistry(settings_, group));
}

bool TQtRegistry::Opened() const {
  // QSettings reads the file on first use; a status is only known after that.
  settings_->contains(QStringLiteral("%default"));
  const QSettings::Status status = settings_->status();
  return status != QSettings::FormatError &&
         (status != QSettings::AccessError || !std::filesystem::exists(FileName()));
}

bool TQtRegistry::Writable() const {
  return settings_->isWritable() && settings_->status() != QSettings::AccessError;
}

void TQtRegistry::Sync() {
  settings_->sync();
}

std::string TQtRegistry::FileName() const {
  return settings_->fileName().toStdString();
}

}  // namespace kessaro
