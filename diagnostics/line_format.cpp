#include "diagnostics/line_format.h"

#include <atomic>
#include <climits>
#include <cstring>

#include "diagnostics/bounded_print.h"
#include "diagnostics/log_level.h"
#include "platform/performance_counter.h"
#include "platform/thread_id.h"

namespace Velto {
namespace {

// Room for any replacement text: the longest, "#G" with all 64 groups, is 255 characters.
constexpr std::size_t kFieldSize = 256;

// Collects a line while keeping two bytes for the final newline and NUL.
class LineWriter {
  public:
    LineWriter(char* buffer, std::size_t size) : buffer_(buffer), limit_(size - 2) {}

    void Append(char character) {
        if (length_ == limit_) {
            cut_ = true;
            return;
        }
        buffer_[length_++] = character;
    }

    void Append(const char* text) {
        for (; text != nullptr && *text != '\0' && !cut_; ++text) {
            Append(*text);
        }
    }

    bool Cut() const { return cut_; }

    std::size_t Finish() {
        if (cut_) {
            length_ = length_ > 2 ? length_ - 2 : 0;
        }
        if (length_ == 0 || buffer_[length_ - 1] != '\n') {
            buffer_[length_++] = '\n';
        }
        buffer_[length_] = '\0';
        return length_;
    }

  private:
    char* buffer_;
    std::size_t limit_;
    std::size_t length_ = 0;
    bool cut_ = false;
};

std::size_t PrintedLength(char* buffer, std::size_t size, int printed) {
    if (size == 0) {
        return 0;
    }
    return printed >= 0 ? static_cast<std::size_t>(printed) : std::strlen(buffer);
}

// Seconds since the first call, from the performance counter, as "%06d.%03d".
void ElapsedText(char* buffer, std::size_t size) {
    constexpr int64_t kUnset = INT64_MIN;
    static std::atomic<int64_t> start{kUnset};
    const int64_t now = Platform::PerformanceCounter();
    int64_t expected = kUnset;
    start.compare_exchange_strong(expected, now, std::memory_order_relaxed);
    const int64_t begin = expected == kUnset ? now : expected;
    const int64_t frequency = Platform::PerformanceFrequency();
    const int64_t ticks = now > begin ? now - begin : 0;
    const int64_t seconds = ticks / frequency;
    const int64_t milliseconds = (ticks % frequency) * 1000 / frequency;
    BoundedPrint(buffer, size, "%06d.%03d", seconds < INT_MAX ? static_cast<int>(seconds) : INT_MAX,
                 static_cast<int>(milliseconds));
}

// Writes the replacement of `code` into `field`, or returns the text to use directly.
const char* Replacement(char code, const LogRecord& record, const LineContext& context,
                        char (&field)[kFieldSize]) {
    field[0] = '\0';
    switch (code) {
        case 'D':
            TimestampText(field, sizeof field, record.time);
            return field;
        case 'E':
            return context.executableName;
        case 'G':
            context.groups.ListText(field, sizeof field, record.groups);
            return field;
        case 'H':
            ElapsedText(field, sizeof field);
            return field;
        case 'L':
            return LogLevelText(record.level);
        case 'M':
            return record.message;
        case 'T':
            ThreadIdText(field, sizeof field, Platform::CurrentThreadId());
            return field;
        default:
            field[0] = code;
            field[1] = '\0';
            return field;
    }
}

}  // namespace

std::size_t ExpandLineFormat(char* buffer, std::size_t size, const char* format,
                             const LogRecord& record, const LineContext& context) noexcept {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    if (size == 1) {
        buffer[0] = '\0';
        return 0;
    }
    LineWriter line(buffer, size);
    for (const char* next = format != nullptr ? format : ""; *next != '\0' && !line.Cut(); ++next) {
        if (*next != '#') {
            line.Append(*next);
            continue;
        }
        ++next;
        if (*next == '\0') {
            break;
        }
        char field[kFieldSize];
        line.Append(Replacement(*next, record, context, field));
    }
    return line.Finish();
}

std::size_t TimestampText(char* buffer, std::size_t size, const LogTime& time) noexcept {
    if (buffer == nullptr) {
        return 0;
    }
    const int printed =
        BoundedPrint(buffer, size, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", time.year, time.month,
                     time.day, time.hour, time.minute, time.second, time.millisecond);
    return PrintedLength(buffer, size, printed);
}

std::size_t FileNameTimestampText(char* buffer, std::size_t size, const LogTime& time) noexcept {
    if (buffer == nullptr) {
        return 0;
    }
    const int printed = BoundedPrint(buffer, size, "%04d-%02d-%02dT%02d-%02d-%02d", time.year,
                                     time.month, time.day, time.hour, time.minute, time.second);
    return PrintedLength(buffer, size, printed);
}

std::size_t ThreadIdText(char* buffer, std::size_t size, uint32_t threadId) noexcept {
    // Not "%p": C libraries disagree on its output, while the host platform's is fixed.
    constexpr std::size_t kDigits = 2 * sizeof(void*);
    char digits[kDigits + 1];
    uint64_t rest = threadId;
    for (std::size_t i = kDigits; i > 0; --i) {
        digits[i - 1] = "0123456789ABCDEF"[rest & 0xF];
        rest >>= 4;
    }
    digits[kDigits] = '\0';
    return buffer != nullptr ? BoundedCopy(buffer, size, digits) : 0;
}

}  // namespace Velto
