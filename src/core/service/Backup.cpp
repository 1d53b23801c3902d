#include "core/service/Backup.h"

#include <cstdio>
#include <ctime>

#include <nlohmann/json.hpp>

#include "core/service/Tar.h"

namespace kp70 {

namespace {

constexpr const char* kFormat = "kp70-backup";
constexpr const char* kManifest = "manifest.json";
constexpr int kMaxImages = 255;
// A manifest nests three levels; anything deeper is no manifest of ours.
constexpr std::size_t kMaxDepth = 8;

// Objects keep their members in the order they were written.
using Json = nlohmann::ordered_json;

bool Fail(std::string& why, std::string text) {
    why = std::move(text);
    return false;
}

// Reads an integer member within a range; a missing member keeps `value`.
const Json* Find(const Json& object, const char* name) {
    if (!object.is_object()) return nullptr;
    const auto at = object.find(name);
    return at == object.end() ? nullptr : &*at;
}

// Reads an integer member within a range; a missing member keeps `value`.
bool IntegerMember(const Json& object, const char* name, int min, int max, int& value,
                   std::string& why) {
    const Json* member = Find(object, name);
    if (!member) return true;
    const bool whole = member->is_number_integer();
    const std::int64_t number = whole ? member->get<std::int64_t>() : 0;
    if (!whole || number < min || number > max)
        return Fail(why, std::string("manifest: \"") + name + "\" must be a whole number from " +
                             std::to_string(min) + " to " + std::to_string(max));
    value = static_cast<int>(number);
    return true;
}

bool BoolMember(const Json& object, const char* name, bool& value, std::string& why) {
    const Json* member = Find(object, name);
    if (!member) return true;
    if (!member->is_boolean())
        return Fail(why, std::string("manifest: \"") + name + "\" must be true or false");
    value = member->get<bool>();
    return true;
}

std::string StringMember(const Json& object, const char* name) {
    const Json* member = Find(object, name);
    return member && member->is_string() ? member->get<std::string>() : std::string();
}

// Reads JSON text into `json`, refusing what nests deeper than any manifest does.
bool Parse(const std::string& text, Json& json, std::string& why) {
    std::size_t depth = 0;
    bool tooDeep = false;
    const Json::parser_callback_t limit = [&](int, Json::parse_event_t event, Json&) {
        if (event == Json::parse_event_t::object_start ||
            event == Json::parse_event_t::array_start) {
            if (++depth > kMaxDepth) tooDeep = true;
        } else if (event == Json::parse_event_t::object_end ||
                   event == Json::parse_event_t::array_end) {
            --depth;
        }
        return !tooDeep;
    };
    try {
        json = Json::parse(text, limit);
    } catch (const Json::exception& e) {
        why = tooDeep ? "nested deeper than " + std::to_string(kMaxDepth) + " levels"
                      : std::string(e.what());
        return false;
    }
    if (tooDeep) return Fail(why, "nested deeper than " + std::to_string(kMaxDepth) + " levels");
    return true;
}

bool SettingsFrom(const Json& object, std::vector<BackupSetting>& settings, std::string& why) {
    if (!object.is_object()) return Fail(why, "the settings must be a JSON object of NAME: VALUE");
    settings.clear();
    for (const auto& [name, value] : object.items()) {
        if (value.is_null()) continue;  // a setting the printer did not answer
        if (value.is_string()) {
            settings.push_back({name, value.get<std::string>()});
        } else if (value.is_number_integer()) {
            settings.push_back({name, std::to_string(value.get<std::int64_t>())});
        } else {
            return Fail(why, "the value of \"" + name + "\" must be a text or a whole number");
        }
    }
    return true;
}

bool LogosFrom(const Json& logos, const std::vector<TarEntry>& entries, Backup& backup,
               std::string& why) {
    if (!logos.is_object()) return Fail(why, "manifest: \"logos\" must be an object");
    backup.hasLogos = true;
    if (!BoolMember(logos, "gray", backup.gray, why) ||
        !IntegerMember(logos, "diverging", kDivergingPointRange.min, kDivergingPointRange.max,
                       backup.diverging, why) ||
        !IntegerMember(logos, "area", kPrintableAreaRange.min, kPrintableAreaRange.max, backup.area,
                       why) ||
        !BoolMember(logos, "star", backup.star, why))
        return false;
    const Json* images = Find(logos, "images");
    if (!images || !images->is_array())
        return Fail(why, "manifest: \"logos\" has no \"images\" list");
    if (images->size() > static_cast<std::size_t>(kMaxImages))
        return Fail(why, "manifest: more than 255 logos");
    for (const Json& image : *images) {
        BackupLogo logo;
        const int expected = static_cast<int>(backup.logos.size()) + 1;
        if (!image.is_object() || !IntegerMember(image, "number", 1, kMaxImages, logo.number, why))
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
    Json manifest = {{"format", kFormat},     {"version", Backup::kVersion},
                     {"tool", backup.tool},   {"time", backup.time},
                     {"model", backup.model}, {"device", backup.device}};
    Json settings = Json::object();
    for (const BackupSetting& s : backup.settings) settings[s.name] = s.value;
    manifest["settings"] = std::move(settings);

    std::vector<TarEntry> entries{{kManifest, ""}};
    if (backup.hasLogos) {
        Json images = Json::array();
        for (const BackupLogo& logo : backup.logos) {
            images.push_back({{"number", logo.number},
                              {"file", logo.file},
                              {"name", logo.name},
                              {"center", logo.center}});
            entries.push_back({logo.file, logo.data});
        }
        manifest["logos"] = {{"gray", backup.gray},
                             {"diverging", backup.diverging},
                             {"area", backup.area},
                             {"star", backup.star},
                             {"images", std::move(images)}};
    }
    // Names are bytes as the profile keeps them; what is not UTF-8 is written replaced.
    entries.front().data = manifest.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
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
    if (!Parse(manifestEntry->data, manifest, why)) return Fail(why, "manifest.json: " + why);
    if (!manifest.is_object() || StringMember(manifest, "format") != kFormat)
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
    const Json* settings = Find(manifest, "settings");
    if (settings && !SettingsFrom(*settings, read.settings, why))
        return Fail(why, "manifest: " + why);
    if (const Json* logos = Find(manifest, "logos");
        logos && !LogosFrom(*logos, entries, read, why))
        return false;
    backup = std::move(read);
    return true;
}

bool ReadSettingsJson(const std::string& text, std::vector<BackupSetting>& settings,
                      std::string& why) {
    Json json;
    if (!Parse(text, json, why)) return false;
    if (json.is_object() && StringMember(json, "format") == kFormat) {
        const Json* inner = Find(json, "settings");
        if (!inner) return Fail(why, "the manifest holds no settings");
        return SettingsFrom(*inner, settings, why);
    }
    return SettingsFrom(json, settings, why);
}

}  // namespace kp70
