#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/app/Outcome.h"

namespace kp70 {

class Profile;

// One listed bitmap file.
struct LogoEntry {
    int number = 0;         // image number 1..255 ("No.")
    std::string name;       // the path after its last separator
    std::int64_t size = 0;  // listed size in bytes (EncodedSize)
    std::string path;
    int width = 0;  // the image in pixels, as it was when listed
    int height = 0;
    // The "Auto Center Align Check": the file is centred in the printable area. The mark is
    // the file's: it stays with it wherever its row goes and is stored with it.
    bool center = false;

    std::string NumberText() const;  // "%3d"
    std::string SizeText() const;    // "%15d"
};

// What AddBitmap did.
struct AddBitmapResult {
    bool accepted = false;
    int number = 0;                 // the number given to an accepted file
    std::optional<Notice> message;  // to show, if any
    std::string reason;             // why a file was refused
};

// The list of bitmap files that become the printer's NV bit images: numbering, capacity,
// the counter texts and storage in the profile (section "LOGO", keys "Logofile1".., the
// full paths in upload order; "Logocenter<n>=1" for a centred one, "GrayPrinting=1" after
// an upload in gray). One per process.
class LogoList {
public:
    static constexpr int kMaxImages = 255;
    static constexpr int kCapacityKB = 384;
    static constexpr std::int64_t kCapacityBytes = kCapacityKB * 1024;

    LogoList();

    // Adds a file: number > 0 for a stored entry (its place in the profile), 0 for a file
    // the operator chose, which is listed (and later stored) by its absolute path. A
    // refused file is reported by message and reason.
    AddBitmapResult AddBitmap(int number, const std::string& path);
    // Removes the entry with that number and frees the number; false (and no change) when
    // no entry has it.
    bool RemoveBitmap(int number);
    // Sets the centring mark of the entry with that number; false when no entry has it.
    bool SetCenter(int number, bool center);
    // Marks the entries at the list positions a selection text names ("1,3-4": 1 is the
    // first entry; positions past the end name nothing) as centred and every other entry as
    // not. False, and no change, when the text is no selection (ValidateSelection).
    bool CentrePositions(const std::string& positions);
    // Empties the list and its counters (not the stored count or the gray mode).
    void ResetListCounters();
    // Reads the stored list from the profile into the emptied list, each file with its
    // mark. The files are sized and checked against the memory in the mode they were
    // uploaded in (a list the printer took then is not refused for its size now), then shown
    // in the list's own mode as a gray toggle would, without a capacity check: the upload
    // makes that. Returns the messages to show (44 and 47 at most once each per load).
    std::vector<Notice> LoadStoredList(const Profile& profile);
    // Whether the list last loaded or stored was uploaded in gray.
    bool StoredGray() const { return m_storedGray; }
    // The numbers of stored entries that failed to load become free for new files (merged
    // with the free numbers, ascending, without duplicates).
    void TakeOverFailedNumbers();
    // Turning gray printing on multiplies every listed size and the total by 4, off divides
    // them by 4. Turning it on is refused, and nothing changes, when the gray images would
    // not fit the NV graphics memory: the notice (message 46) says so. Nothing happens when
    // the mode does not change.
    std::optional<Notice> SetGrayPrinting(bool on);
    bool GrayPrinting() const { return m_grayPrinting; }

    // List positions in upload order (ascending image number).
    std::vector<int> UploadOrder() const;
    // After a complete upload: writes "Logofile1".."Logofilen" with the paths in upload
    // order, the marks of the centred ones and the gray mode, and deletes every later
    // "Logofile" and "Logocenter" key, in one atomic save. False when the profile could not
    // be written.
    bool StoreUploadedList(Profile& profile, const std::vector<int>& order);

    const std::vector<LogoEntry>& Entries() const { return m_entries; }
    int Count() const { return static_cast<int>(m_entries.size()); }
    std::int64_t TotalBytes() const { return m_totalBytes; }
    // Used kilobytes, rounded up.
    std::int64_t UsedKB() const { return (m_totalBytes + 1023) / 1024; }
    const std::vector<int>& FreeNumbers() const { return m_freeNumbers; }
    const std::vector<int>& FailedNumbers() const { return m_failedNumbers; }
    int FailedCount() const { return m_failedCount; }
    int StoredCount() const { return m_storedCount; }
    // The entry with that number, or nullptr.
    const LogoEntry* Find(int number) const;

    // "%3d / 255" with the count and "%3ld / %3d KByte" with the used kilobytes and the
    // capacity (after a gray toggle "%3ld / %3ld KByte" with truncated kilobytes).
    const std::string& CountText() const { return m_countText; }
    const std::string& SizeText() const { return m_sizeText; }

private:
    AddBitmapResult Add(int number, const std::string& path);
    // A refused stored entry: counted, its number noted; the message once per load.
    void NoteStoredFailure(int number, int message, AddBitmapResult& result);
    void UpdateTexts();
    // Multiplies or divides the listed sizes for the mode, without a check.
    void Rescale(bool gray);

    std::vector<LogoEntry> m_entries;
    std::int64_t m_totalBytes = 0;
    std::vector<int> m_freeNumbers;  // ascending; the smallest is given out first
    std::vector<int> m_failedNumbers;
    int m_failedCount = 0;
    int m_storedCount = 0;
    bool m_grayPrinting = false;
    bool m_storedGray = false;
    std::string m_countText;
    std::string m_sizeText;
};

}  // namespace kp70
