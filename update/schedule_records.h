// The settings records of the update check, "(Mox)UpdateCheck", and of the
// configuration archive, "(Mox)Archive", with the defaults applied after
// every read; the due test, UTC day rounding and version comparison shared
// by both schedules. Platform-neutral.
#pragma once
#include <stdint.h>

#pragma pack(push, 1)
// "(Mox)UpdateCheck", 280 bytes.
struct UpdateCheckSettings {
    char version[260];     // the body of the last successful fetch, at most 259 characters
    uint8_t reserved1[4];  // written as zero
    int64_t lastCheck;     // seconds since 1970 UTC, the start of a UTC day
    uint8_t newer;         // 1: the last fetched version was newer than the installed one
    uint8_t automatic;     // 1: check every `interval` days
    uint8_t reserved2[2];
    int32_t interval;  // days, 7..9999 after a read
};
// "(Mox)Archive", 288 bytes.
struct ArchiveSettings {
    char folder[260];  // where archives go; empty = none
    uint8_t reserved1[4];
    int64_t lastArchive;  // seconds since 1970 UTC, the start of a UTC day
    uint8_t automatic;    // 1: archive every `interval` days
    uint8_t failed;       // the last scheduled run: kArchiveRun*, with kArchiveRunReported once it was shown
    uint8_t reserved2[2];
    int32_t interval;   // days; 0 or less reads as 14
    int32_t keep;       // archives kept; 0 or less reads as 30
    int32_t failedDay;  // UTC day (days since 1970) of the failed scheduled run in `failed`; 0 none (older records)
};
#pragma pack(pop)
static_assert(sizeof(UpdateCheckSettings) == 280, "the record's layout is fixed");
static_assert(sizeof(ArchiveSettings) == 288, "the record's layout is fixed");

// ArchiveSettings::failed (0 in a record of an older version).
enum : uint8_t { kArchiveRunOk = 0, kArchiveRunNotWritten = 1, kArchiveRunPartial = 2, kArchiveRunReported = 0x80 };

constexpr int kUpdateIntervalDefault = 7;
constexpr int kUpdateIntervalMax = 9999;
constexpr int kArchiveIntervalDefault = 14;
constexpr int kArchiveKeepDefault = 30;
constexpr int kSecondsPerDay = 86400;

// Read with defaults: a missing update record is automatic, every 7 days,
// never checked; a missing archive record is off, without a folder.
void ReadUpdateCheckSettings(UpdateCheckSettings* s);
void ReadArchiveSettings(ArchiveSettings* s);
// The defaults of a record as read (also applied by the readers above).
void ApplyUpdateCheckDefaults(UpdateCheckSettings* s);
void ApplyArchiveDefaults(ArchiveSettings* s);
// Write the whole record, reserved bytes zero; false when it was not written.
bool WriteUpdateCheckSettings(const UpdateCheckSettings* s);
bool WriteArchiveSettings(const ArchiveSettings* s);

// Due when automatic and more than interval days passed since last, or
// when last lies ahead of now (a clock that was wrong once).
bool IsScheduleDue(bool automatic, int64_t last, int intervalDays, int64_t now);
// The start of the UTC day of a time (seconds since 1970 UTC).
int64_t UtcDayStart(int64_t now);
// Seconds since 1970 UTC.
int64_t UnixNow();

// The three numbers at the start of a version text "major.minor.build"
// (leading blanks allowed, anything may follow, as "%d.%d.%d" reads it).
// False when there are not three numbers or one is above 999999999.
bool ParseVersionText(const char* text, int version[3]);
// The published version is newer than the installed one.
bool IsNewerVersion(const int published[3], int major, int minor, int build);
// True when text, as the record would keep it (cut to 259 characters),
// equals the stored version text.
bool SameStoredVersion(const char* stored, const char* text);
