#include "core/logo/LogoList.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <new>

#include "core/app/FileLocations.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/Profile.h"
#include "core/logo/BitImageConversion.h"
#include "core/logo/BmpDecoder.h"
#include "core/logo/LogoBitmap.h"
#include "core/logo/LogoSelection.h"
#include "core/logo/NvCommands.h"

namespace kp70 {

namespace {

constexpr const char* kSection = "LOGO";
// "Logofile<n>" holds the path of image n, "Logocenter<n>=1" marks it centred (a missing
// key reads as not centred, so older profiles read as they stand), "GrayPrinting=1" says
// the list was uploaded in gray.
constexpr const char* kFileKey = "Logofile";
constexpr const char* kCenterKey = "Logocenter";
constexpr const char* kGrayKey = "GrayPrinting";
constexpr const char* kOn = "1";

std::string KeyFor(const char* prefix, int n) {
    return prefix + std::to_string(n);
}

std::string BaseName(const std::string& path) {
    const auto sep = path.find_last_of("\\/");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

// The n of a key "<prefix><n>" (any case), or 0.
int KeyNumber(const std::string& prefix, const std::string& key) {
    if (key.size() <= prefix.size()) return 0;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(key[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return 0;
    }
    int n = 0;
    for (std::size_t i = prefix.size(); i < key.size(); ++i) {
        if (key[i] < '0' || key[i] > '9' || n > 100000) return 0;
        n = n * 10 + (key[i] - '0');
    }
    return n;
}

}  // namespace

std::string LogoEntry::NumberText() const {
    char text[16];
    std::snprintf(text, sizeof text, "%3d", number);
    return text;
}

std::string LogoEntry::SizeText() const {
    char text[32];
    std::snprintf(text, sizeof text, "%15lld", static_cast<long long>(size));
    return text;
}

LogoList::LogoList() {
    UpdateTexts();
}

AddBitmapResult LogoList::AddBitmap(int number, const std::string& path) {
    try {
        return Add(number, path);
    } catch (const std::bad_alloc&) {
        AddBitmapResult result;
        result.message = Notice::Message(msg::kOutOfMemory, MessageIcon::Stop);
        result.reason = "out of memory";
        return result;
    }
}

void LogoList::NoteStoredFailure(int number, int message, AddBitmapResult& result) {
    m_failedCount += 1;
    m_failedNumbers.push_back(number);
    if (m_failedCount == 1) result.message = Notice::Message(message, MessageIcon::Exclamation);
}

AddBitmapResult LogoList::Add(int number, const std::string& path) {
    AddBitmapResult result;
    if (Count() >= kMaxImages) {
        result.message = Notice::Message(msg::kNoMoreFiles);
        result.reason = "the list already holds 255 images";
        return result;
    }
    const BitmapProbe probe = ProbeBitmap(path);
    if (!probe.ok) {
        result.reason = probe.error;
        if (number > 0) {
            NoteStoredFailure(number, msg::kStoredFileIncorrect, result);
        } else {
            // A file the operator chose is always reported, not only the first one.
            m_failedCount += 1;
            result.message = Notice::Message(msg::kStoredFileIncorrect, MessageIcon::Exclamation);
        }
        if (result.message) result.message->detail = path + ": " + probe.error;
        return result;
    }
    if (probe.bitsPerPixel > 32) {
        result.message = Notice::Message(msg::kBitmapNotSupported);
        result.reason = "more than 32 bits per pixel";
        return result;
    }
    const std::int64_t size = EncodedSize(probe.width, probe.height, m_grayPrinting);
    if (!HeaderFits(probe.width, probe.height)) {
        // Wider or taller than an NV image header can say; everything smaller is sized
        // from the image and only has to fit the NV graphics memory.
        char reason[160];
        std::snprintf(reason, sizeof reason,
                      "the image is too large for an NV image (%d x %d dots; at most 65528 "
                      "dots wide and 524280 high)",
                      probe.width, probe.height);
        result.reason = reason;
        if (number > 0) {
            NoteStoredFailure(number, msg::kStoredFileIncorrect, result);
        } else {
            result.message = Notice::Message(msg::kBitmapNotSupported);
        }
        if (result.message) result.message->detail = path + ": " + reason;
        return result;
    }
    if (m_totalBytes + size > kCapacityBytes) {
        result.reason = "the NV graphics memory would overflow";
        if (number > 0) {
            NoteStoredFailure(number, msg::kStoredFileTooBig, result);
        } else {
            result.message = Notice::Message(msg::kAreaTooSmall);
        }
        return result;
    }

    int given = number > 0 ? number : Count() + 1;
    if (!m_freeNumbers.empty()) {
        given = m_freeNumbers.front();
        m_freeNumbers.erase(m_freeNumbers.begin());
    }
    // A file the operator chose is kept by its absolute path, so the stored list names the
    // same files from any other folder; stored entries stay as the profile has them.
    m_entries.push_back(LogoEntry{given, BaseName(path), size,
                                  number > 0 ? path : AbsolutePath(path), probe.width, probe.height,
                                  false});
    m_totalBytes += size;
    UpdateTexts();
    result.accepted = true;
    result.number = given;
    return result;
}

bool LogoList::RemoveBitmap(int number) {
    const auto it = std::find_if(m_entries.begin(), m_entries.end(),
                                 [&](const LogoEntry& e) { return e.number == number; });
    if (it == m_entries.end()) return false;
    m_totalBytes -= it->size;
    m_entries.erase(it);
    m_freeNumbers.push_back(number);
    std::sort(m_freeNumbers.begin(), m_freeNumbers.end());
    UpdateTexts();
    return true;
}

bool LogoList::SetCenter(int number, bool center) {
    for (LogoEntry& entry : m_entries) {
        if (entry.number != number) continue;
        entry.center = center;
        return true;
    }
    return false;
}

bool LogoList::CentrePositions(const std::string& positions) {
    if (!ValidateSelection(positions)) return false;
    const std::vector<int> rows = SelectedImages(ParseSelection(positions));
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const int row = static_cast<int>(i) + 1;
        m_entries[i].center = std::find(rows.begin(), rows.end(), row) != rows.end();
    }
    return true;
}

void LogoList::ResetListCounters() {
    m_entries.clear();
    m_totalBytes = 0;
    m_failedCount = 0;
    m_freeNumbers.clear();
    m_failedNumbers.clear();
    UpdateTexts();
}

std::vector<Notice> LogoList::LoadStoredList(const Profile& profile) {
    std::vector<Notice> messages;
    ResetListCounters();
    // Sized as they were uploaded, so a list that fitted the printer then is loaded whole
    // (sized four times in gray, a monochrome list would lose files); then shown as the
    // list's mode says.
    const bool shown = m_grayPrinting;
    m_storedGray = profile.GetString(kSection, kGrayKey, "") == kOn;
    m_grayPrinting = m_storedGray;
    for (int n = 1;; ++n) {
        const std::string path = profile.GetString(kSection, KeyFor(kFileKey, n), "");
        if (path.empty()) break;
        AddBitmapResult result = AddBitmap(n, path);
        if (result.accepted)
            SetCenter(result.number, profile.GetString(kSection, KeyFor(kCenterKey, n), "") == kOn);
        m_storedCount = n;
        if (result.message &&
            std::find(messages.begin(), messages.end(), *result.message) == messages.end()) {
            messages.push_back(*result.message);
        }
    }
    Rescale(shown);
    UpdateTexts();
    return messages;
}

void LogoList::TakeOverFailedNumbers() {
    if (m_failedNumbers.empty()) return;
    m_freeNumbers.insert(m_freeNumbers.end(), m_failedNumbers.begin(), m_failedNumbers.end());
    std::sort(m_freeNumbers.begin(), m_freeNumbers.end());
    m_freeNumbers.erase(std::unique(m_freeNumbers.begin(), m_freeNumbers.end()),
                        m_freeNumbers.end());
    m_failedNumbers.clear();
}

std::optional<Notice> LogoList::SetGrayPrinting(bool on) {
    if (on == m_grayPrinting) return std::nullopt;
    if (on && m_totalBytes * 4 > kCapacityBytes) {
        // Gray images take four times the memory: as with a file added in gray, the list
        // must fit it.
        Notice notice = Notice::Message(msg::kAreaTooSmall);
        notice.secondLine = "In gray the listed images would take " +
                            std::to_string((m_totalBytes * 4 + 1023) / 1024) + " of the " +
                            std::to_string(kCapacityKB) +
                            " KBytes: remove files to print the list in gray.";
        return notice;
    }
    Rescale(on);
    char text[64];
    std::snprintf(text, sizeof text, "%3lld / %3ld KByte",
                  static_cast<long long>(m_totalBytes / 1024), static_cast<long>(kCapacityKB));
    m_sizeText = text;
    return std::nullopt;
}

void LogoList::Rescale(bool gray) {
    if (gray == m_grayPrinting) return;
    m_grayPrinting = gray;
    for (LogoEntry& entry : m_entries) entry.size = gray ? entry.size * 4 : entry.size / 4;
    m_totalBytes = gray ? m_totalBytes * 4 : m_totalBytes / 4;
    UpdateTexts();
}

std::vector<int> LogoList::UploadOrder() const {
    std::vector<int> numbers;
    for (const LogoEntry& entry : m_entries) numbers.push_back(entry.number);
    return kp70::UploadOrder(numbers);
}

bool LogoList::StoreUploadedList(Profile& profile, const std::vector<int>& order) {
    std::vector<Profile::KeyChange> changes;
    const int n = static_cast<int>(order.size());
    const std::optional<std::string> on = std::string(kOn);
    for (int i = 0; i < n; ++i) {
        const LogoEntry& entry = m_entries.at(static_cast<std::size_t>(order[i]));
        changes.emplace_back(KeyFor(kFileKey, i + 1), entry.path);
        changes.emplace_back(KeyFor(kCenterKey, i + 1), entry.center ? on : std::nullopt);
    }
    changes.emplace_back(kGrayKey, m_grayPrinting ? on : std::nullopt);
    // Every later key goes, also ones beyond the last load's end (after a gap).
    int highestFile = m_storedCount;
    int highestCenter = 0;
    for (const auto& [key, value] : profile.SectionEntries(kSection)) {
        highestFile = std::max(highestFile, KeyNumber(kFileKey, key));
        highestCenter = std::max(highestCenter, KeyNumber(kCenterKey, key));
    }
    for (int k = n + 1; k <= highestFile; ++k)
        changes.emplace_back(KeyFor(kFileKey, k), std::nullopt);
    for (int k = n + 1; k <= highestCenter; ++k)
        changes.emplace_back(KeyFor(kCenterKey, k), std::nullopt);
    if (!profile.WriteKeys(kSection, changes)) return false;
    m_storedCount = n;
    m_storedGray = m_grayPrinting;
    return true;
}

const LogoEntry* LogoList::Find(int number) const {
    for (const LogoEntry& entry : m_entries) {
        if (entry.number == number) return &entry;
    }
    return nullptr;
}

void LogoList::UpdateTexts() {
    char text[64];
    std::snprintf(text, sizeof text, "%3d / 255", Count());
    m_countText = text;
    std::snprintf(text, sizeof text, "%3lld / %3d KByte", static_cast<long long>(UsedKB()),
                  kCapacityKB);
    m_sizeText = text;
}

}  // namespace kp70
