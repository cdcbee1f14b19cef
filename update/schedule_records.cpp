// The schedules' settings records and their shared arithmetic.
#include "schedule_records.h"

#include <string.h>
#include <time.h>

#include "base/str_util.h"
#include "settings/record_file.h"

static const char kUpdateRecord[] = "(Mox)UpdateCheck";
static const char kArchiveRecord[] = "(Mox)Archive";

void ApplyUpdateCheckDefaults(UpdateCheckSettings* s) {
    s->version[sizeof s->version - 1] = '\0';
    if (s->interval == 0) {
        s->automatic = 1;
        s->interval = kUpdateIntervalDefault;
    }
    if (s->interval < kUpdateIntervalDefault + 1)
        s->interval = kUpdateIntervalDefault;
}

void ApplyArchiveDefaults(ArchiveSettings* s) {
    s->folder[sizeof s->folder - 1] = '\0';
    if (s->interval <= 0)
        s->interval = kArchiveIntervalDefault;
    if (s->keep <= 0)
        s->keep = kArchiveKeepDefault;
}

void ReadUpdateCheckSettings(UpdateCheckSettings* s) {
    memset(s, 0, sizeof *s);
    ReadRecordFile(kUpdateRecord, -1, s, sizeof *s, 0);
    ApplyUpdateCheckDefaults(s);
}

void ReadArchiveSettings(ArchiveSettings* s) {
    memset(s, 0, sizeof *s);
    ReadRecordFile(kArchiveRecord, -1, s, sizeof *s, 0);
    ApplyArchiveDefaults(s);
}

bool WriteUpdateCheckSettings(const UpdateCheckSettings* s) {
    UpdateCheckSettings w = *s;
    memset(w.reserved1, 0, sizeof w.reserved1);
    memset(w.reserved2, 0, sizeof w.reserved2);
    return WriteRecordFile(kUpdateRecord, -1, &w, sizeof w, 0) == sizeof w;
}

bool WriteArchiveSettings(const ArchiveSettings* s) {
    ArchiveSettings w = *s;
    memset(w.reserved1, 0, sizeof w.reserved1);
    memset(w.reserved2, 0, sizeof w.reserved2);
    return WriteRecordFile(kArchiveRecord, -1, &w, sizeof w, 0) == sizeof w;
}

bool IsScheduleDue(bool automatic, int64_t last, int intervalDays, int64_t now) {
    // A last time ahead of now was stored under a wrong clock: waiting for
    // it would stop the schedule until then. The run replaces it with now.
    return automatic && (last > now || now - last > (int64_t)intervalDays * kSecondsPerDay);
}

int64_t UtcDayStart(int64_t now) {
    return now / kSecondsPerDay * kSecondsPerDay;
}

int64_t UnixNow() {
    return (int64_t)time(nullptr);
}

bool ParseVersionText(const char* text, int version[3]) {
    if (!text)
        return false;
    const char* p = text;
    for (int i = 0; i < 3; i++) {
        if (i > 0 && *p++ != '.')
            return false;
        if (i == 0)
            while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
                p++;
        if (*p < '0' || *p > '9')
            return false;
        long long n = 0;
        for (; *p >= '0' && *p <= '9'; p++) {
            n = n * 10 + (*p - '0');
            if (n > 999999999)
                return false;
        }
        version[i] = (int)n;
    }
    return true;
}

bool IsNewerVersion(const int v[3], int major, int minor, int build) {
    if (v[0] != major)
        return v[0] > major;
    if (v[1] != minor)
        return v[1] > minor;
    return v[2] > build;
}

bool SameStoredVersion(const char* stored, const char* text) {
    char kept[sizeof(UpdateCheckSettings::version)];
    StrCopy(kept, countof(kept), text);
    return strcmp(stored, kept) == 0;
}
