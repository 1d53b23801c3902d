#include "core/service/Backup.h"

#include <cstdio>
#include <ctime>

#include "core/service/Json.h"
#include "core/service/Tar.h"

namespace kp70 {

namespace {

constexpr const char* kFormat = "kp70-backup";
constexpr const char* kManifest = "manifest.json";
constexpr int kMaxImages = 255;

bool Fail(std::string& why, std::string text) {
    why = std::move(text);
    return false;
}

// Reads an integer member within a range; a missing member keeps `value`.
bool IntegerMember(const Json& object, const char* name, int min, int max, int& value,
                   std::string& why) {
    const Json* member = object.Find(name);
    if (!member) return true;
    if (!member->IsInteger() || member->AsInteger() < min || member->AsInteger() > max)
        return Fail(why, std::string("manifest: \"") + name + "\" must be a whole number from " +
                             std::to_string(min) + " to " + std::to_string(max));
    value = static_cast<int>(member->AsInteger());
    return true;
}

bool BoolMember(const Json& object, const char* name, bool& value, std::string& why) {
    const Json* member = object.Find(name);
    if (!member) return true;
    if (!member->IsBool())
        return Fail(why, std::string("manifest: \"") + name + "\" must be true or false");
    value = member->AsBool();
    return true;
}

std::string StringMember(const Json& object, const char* name) {
    const Json* member = object.Find(name);
    return member && member->IsString() ? member->AsString() : std::string();
}

bool SettingsFrom(const Json& object, std::vector<BackupSetting>& settings, std::string& why) {
    if (!object.IsObject()) return Fail(why, "the settings must be a JSON object of NAME: VALUE");
    settings.clear();
    for (const auto& [name, value] : object.Members()) {
        if (value.IsNull()) continue;  // a setting the printer did not answer
        if (value.IsString()) {
            settings.push_back({name, value.AsString()});
        } else if (value.IsInteger()) {
            settings.push_back({name, std::to_string(value.AsInteger())});
        } else {
            return Fail(why, "the value of \"" + name + "\" must be a text or a whole number");
        }
    }
    return true;
}

bool LogosFrom(const Json& logos, const std::vector<TarEntry>& entries, Backup& backup,
               std::string& why) {
    if (!logos.IsObject()) return Fail(why, "manifest: \"logos\" must be an object");
    backup.hasLogos = true;
    if (!BoolMember(logos, "gray", backup.gray, why) ||
        !IntegerMember(logos, "diverging", kDivergingPointRange.min, kDivergingPointRange.max,
                       backup.diverging, why) ||
        !IntegerMember(logos, "area", kPrintableAreaRange.min, kPrintableAreaRange.max, backup.area,
                       why) ||
        !BoolMember(logos, "star", backup.star, why))
        return false;
    const Json* images = logos.Find("images");
    if (!images || !images->IsArray())
        return Fail(why, "manifest: \"logos\" has no \"images\" list");
    if (images->Items().size() > static_cast<std::size_t>(kMaxImages))
        return Fail(why, "manifest: more than 255 logos");
    for (const Json& image : images->Items()) {
        BackupLogo logo;
        const int expected = static_cast<int>(backup.logos.size()) + 1;
        if (!image.IsObject() || !IntegerMember(image, "number", 1, kMaxImages, logo.number, why))
            return Fail(why, why.empty() ? "manifest: a logo entry is not an object" : why);
        if (logo.number != expected)
            return Fail(why, "manifest: logo " + std::to_string(expected) +
                                 " is missing (images are numbered 1..n in order)");
        logo.file = StringMember(image, "file");
        logo.name = StringMember(image, "name");
        if (!BoolMember(image, "center", logo.center, why)) return false;
        const TarEntry* entry = nullptr;
        for (const TarEntry& e : entries)
            if (e.name == logo.file && logo.file != kManifest) entry = &e;
        if (!entry)
            return Fail(why, "logo " + std::to_string(logo.number) + ": its bitmap \"" + logo.file +
                                 "\" is not in the backup");
        logo.data = entry->data;
        if (logo.name.empty()) logo.name = logo.file.substr(logo.file.rfind('/') + 1);
        backup.logos.push_back(std::move(logo));
    }
    return true;
}

}  // namespace

LogoOptions Backup::Options() const {
    LogoOptions options;
    options.grayPrinting = gray;
    options.divergingPoint = diverging;
    options.maxPrintableArea = area;
    options.starEmulation = star;
    return options;
}

std::string BackupTimeText(const std::tm& time) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", time.tm_year + 1900,
                  time.tm_mon + 1, time.tm_mday, time.tm_hour, time.tm_min, time.tm_sec);
    return text;
}

std::string LogoEntryName(int number, const std::string& fileName) {
    std::string safe;
    for (const char c : fileName) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        safe += keep ? c : '_';
    }
    // Keeps the end, which holds the extension.
    if (safe.size() > 60) safe = safe.substr(safe.size() - 60);
    if (safe.empty() || safe.find_first_not_of('.') == std::string::npos) safe = "logo.bmp";
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "logos/%03d-", number);
    return prefix + safe;
}

bool EncodeBackup(const Backup& backup, std::string& file, std::string& why) {
    Json manifest = Json::Object();
    manifest.Set("format", Json(kFormat));
    manifest.Set("version", Json(Backup::kVersion));
    manifest.Set("tool", Json(backup.tool));
    manifest.Set("time", Json(backup.time));
    manifest.Set("model", Json(backup.model));
    manifest.Set("device", Json(backup.device));
    Json settings = Json::Object();
    for (const BackupSetting& s : backup.settings) settings.Set(s.name, Json(s.value));
    manifest.Set("settings", std::move(settings));

    std::vector<TarEntry> entries{{kManifest, ""}};
    if (backup.hasLogos) {
        Json logos = Json::Object();
        logos.Set("gray", Json(backup.gray));
        logos.Set("diverging", Json(backup.diverging));
        logos.Set("area", Json(backup.area));
        logos.Set("star", Json(backup.star));
        Json images = Json::Array();
        for (const BackupLogo& logo : backup.logos) {
            Json image = Json::Object();
            image.Set("number", Json(logo.number));
            image.Set("file", Json(logo.file));
            image.Set("name", Json(logo.name));
            image.Set("center", Json(logo.center));
            images.Push(std::move(image));
            entries.push_back({logo.file, logo.data});
        }
        logos.Set("images", std::move(images));
        manifest.Set("logos", std::move(logos));
    }
    entries.front().data = manifest.Dump();
    // The entries carry the backup's time, so an archive tool lists when it was made.
    std::tm time{};
    std::uint64_t mtime = 0;
    if (std::sscanf(backup.time.c_str(), "%d-%d-%dT%d:%d:%d", &time.tm_year, &time.tm_mon,
                    &time.tm_mday, &time.tm_hour, &time.tm_min, &time.tm_sec) == 6) {
        time.tm_year -= 1900;
        time.tm_mon -= 1;
        time.tm_isdst = -1;
        const std::time_t epoch = std::mktime(&time);
        if (epoch > 0) mtime = static_cast<std::uint64_t>(epoch);
    }
    return WriteTar(entries, mtime, file, why);
}

bool DecodeBackup(const std::string& file, Backup& backup, std::string& why) {
    std::vector<TarEntry> entries;
    if (!ReadTar(file, entries, why)) return false;
    const TarEntry* manifestEntry = nullptr;
    for (const TarEntry& e : entries)
        if (e.name == kManifest) manifestEntry = &e;
    if (!manifestEntry) return Fail(why, "the file holds no manifest.json: not a backup");
    Json manifest;
    if (!Json::Parse(manifestEntry->data, manifest, why)) return Fail(why, "manifest.json: " + why);
    if (!manifest.IsObject() || StringMember(manifest, "format") != kFormat)
        return Fail(why, "manifest.json is not a printer backup's manifest");
    int version = 0;
    if (!IntegerMember(manifest, "version", 1, 1000, version, why)) return false;
    if (version > Backup::kVersion)
        return Fail(why, "the backup was written in format " + std::to_string(version) +
                             " by a newer tool; this one reads format " +
                             std::to_string(Backup::kVersion));
    Backup read;
    read.tool = StringMember(manifest, "tool");
    read.time = StringMember(manifest, "time");
    read.device = StringMember(manifest, "device");
    if (!IntegerMember(manifest, "model", 0, 255, read.model, why)) return false;
    const Json* settings = manifest.Find("settings");
    if (settings && !SettingsFrom(*settings, read.settings, why))
        return Fail(why, "manifest: " + why);
    if (const Json* logos = manifest.Find("logos"); logos && !LogosFrom(*logos, entries, read, why))
        return false;
    backup = std::move(read);
    return true;
}

bool ReadSettingsJson(const std::string& text, std::vector<BackupSetting>& settings,
                      std::string& why) {
    Json json;
    if (!Json::Parse(text, json, why)) return false;
    if (json.IsObject() && StringMember(json, "format") == kFormat) {
        const Json* inner = json.Find("settings");
        if (!inner) return Fail(why, "the manifest holds no settings");
        return SettingsFrom(*inner, settings, why);
    }
    return SettingsFrom(json, settings, why);
}

}  // namespace kp70
