#include "update/FirmwareUpload.h"

#include "serial/EComPort.h"

#include <array>
#include <chrono>

namespace tolvar {

const char* const kUploadSuccessText = "Uaktualnienie oprogramowania\nzostało zakończone sukcesem.";
const char* const kUploadFailureText = "Uaktualnienie oprogramowania\nzostało zakończone błędem.";
const char* const kPortFailureText =
    "Błąd inizjalizacji portu szeregowego.\nPort może być używany przez inny program.\n"
    "Uaktualnienie oprogramowania\nzostało zakończone błędem.";

namespace {

// Count byte, then a record of the HEX shape (count 00, address 0000, type FE, checksum 02),
// ended by LF rather than CR.
constexpr std::array<std::uint8_t, 12> kStartRecord = {0x0B, '0', '0', '0', '0', '0',
                                                       '0',  'F', 'E', '0', '2', 0x0A};

constexpr int kFailureBudget = 4;

using Clock = std::chrono::steady_clock;

// Bytes read while waiting for the line to fall quiet before a new pass; a line that keeps
// talking longer than this gets no more patience, and its noise fails the pass as it comes.
constexpr int kQuietReadLimit = 8;

// A line carries a frame and its reply at its own speed: a reply never comes sooner than the
// frame and the reply byte take on it. Once this many replies of a pass in a row came no sooner,
// the line has shown its pace, and a byte that comes sooner is not the reply: it trails an earlier
// one. Only frames that take a while count (a pseudo-terminal, which answers at once, can stall
// for a millisecond or two now and then); and a line that answered sooner even once before it
// showed its pace is taken for such a one for the rest of the run.
constexpr int kPaceProof = 4;
constexpr std::size_t kPaceFrame = 40; // bytes: 3.8 ms on the line
// Until then, each reply is given this long for what trails it (a doubled reply, noise one byte
// time behind it) to arrive, so that it is not taken for the next frame's reply.
constexpr std::chrono::microseconds kTrailWait{500};
// The start reply's value tells nothing, so in a pass after a failed one a stale byte (a reply so
// late that this pass had begun) passes for it and the real one comes right behind: let the line
// settle, drop what came. Long enough for an adapter that holds bytes up to its 16 ms latency
// timer; the first pass has nothing stale to fear and settles as briefly as any reply.
constexpr std::chrono::microseconds kStartSettle{50'000};
// Bytes that came too soon in one exchange before the line is given up as unfit for this pass.
constexpr int kEarlyLimit = 8;

// The exchanges of one pass, each a frame out and its one-byte reply back, stop and wait: a frame
// goes out only once the previous one's reply is in. Every byte that cannot be the reply to the
// frame just sent is dropped and counted: what came before it went out, what came sooner than it
// could cross a line that has shown its pace, and what came with or right behind a reply. Where a
// byte of another value trails a record's reply, it cannot be told which of them the controller
// meant, and the pass fails.
class PassExchanges {
public:
    enum class Answer { Reply, Silence, Doubt };

    // Whether the line answered sooner than it could have before it showed its pace: kept for
    // the whole run.
    struct Line {
        bool unpaced = false;
    };

    PassExchanges(UploadPort& port, PassRecord& record, Line& line, bool retry)
        : port_(port), record_(record), line_(line),
          startSettle_(retry ? kStartSettle : kTrailWait) {
        // Whatever waits now was sent before this pass began.
        if (const std::int32_t stale = port_.InputCount(); stale > 0) {
            port_.DiscardInput();
            record_.dropped += stale;
        }
    }

    Answer Exchange(const std::uint8_t* frame, std::size_t length, bool start,
                    std::uint8_t& reply) {
        const Clock::time_point sent = port_.Now();
        port_.Write(frame, static_cast<std::int32_t>(length));
        const Clock::time_point earliest =
            sent + static_cast<long>(length + 1) * kByteTime * 9 / 10; // the frame, the reply
        bool soon = false;
        for (int early = 0;; ++early) {
            if (port_.Read(&reply, 1) != 1 || early == kEarlyLimit)
                return Answer::Silence;
            soon = port_.Now() < earliest;
            if (!soon || !paced_)
                break;
            ++record_.dropped;
            // It trails the previous reply; one of another value puts that reply in doubt.
            if (previousCounts_ && reply != previous_) {
                record_.byte = reply;
                return Answer::Doubt;
            }
        }
        if (!paced_) {
            line_.unpaced = line_.unpaced || soon;
            inARow_ = soon ? 0 : inARow_ + (length >= kPaceFrame ? 1 : 0);
            paced_ = !line_.unpaced && inARow_ >= kPaceProof;
        }
        previous_ = reply;
        previousCounts_ = !start;
        return Trailing(start, reply);
    }

private:
    Answer Trailing(bool start, std::uint8_t reply) {
        std::int32_t trailing = 0;
        if (start || !paced_) {
            port_.Pause(start ? startSettle_ : kTrailWait);
            trailing = port_.InputCount();
        } else {
            trailing = port_.InputLeftByRead();
        }
        if (trailing <= 0)
            return Answer::Reply;
        record_.dropped += trailing;
        if (start) {
            port_.DiscardInput();
            return Answer::Reply;
        }
        // A burst behind a reply is no doubled reply: noise.
        for (std::int32_t i = 0; i < trailing; ++i) {
            std::uint8_t next = reply;
            if (i == kEarlyLimit || (port_.Read(&next, 1) == 1 && next != reply)) {
                record_.byte = next;
                port_.DiscardInput();
                return Answer::Doubt;
            }
        }
        return Answer::Reply;
    }

    UploadPort& port_;
    PassRecord& record_;
    Line& line_;
    const std::chrono::microseconds startSettle_;
    int inARow_ = 0;
    bool paced_ = false;
    std::uint8_t previous_ = 0;
    bool previousCounts_ = false; // the previous reply was a record's, whose value matters
};

void Finish(UploadReporter& reporter) {
    reporter.AdvanceWizard();
    reporter.HideBackAndCancel();
}

} // namespace

UploadResult RunFirmwareUpload(UploadPort& port, UploadReporter& reporter,
                               const PayloadSource& source) {
    UploadResult result;
    const std::optional<PayloadView> payload = source ? source() : std::nullopt;
    if (!payload || !PayloadIsWhole(*payload)) {
        reporter.ShowMissingPayload();
        return result;
    }

    reporter.SetProgressMax(CountLines(*payload));
    std::int8_t failureCounter = 0;
    bool failed = false;
    LineCursor cursor(*payload);
    std::array<std::uint8_t, kMaxLineBytes> transmit{};
    std::array<std::uint8_t, 256> receive{};
    PassExchanges::Line line;

    do {
        failed = false;
        PassRecord record;
        record.number = result.passes + 1;
        record.lines = CountLines(*payload);
        record.started = std::chrono::system_clock::now();
        const Clock::time_point passStart = port.Now();
        cursor.Reset();
        reporter.SetProgressPosition(0);
        int recordIndex = 0;
        ++result.passes;

        try {
            port.Open();
        } catch (const EComPort& e) {
            // Not retried and not counted: another pass would meet the same busy port.
            reporter.SetResultText(kPortFailureText);
            if (const std::string hint = port.OpenFailureHint(e.OsErrorCode()); !hint.empty())
                reporter.ShowAdviceText(hint);
            Finish(reporter);
            result.outcome = UploadResult::Outcome::PortFailure;
            result.failures = failureCounter;
            return result;
        }

        if (result.passes > 1) {
            // The controller may still be answering the failed pass (a reply after the read
            // time-out); wait until one read time-out passes in silence.
            for (int i = 0; i < kQuietReadLimit && port.Read(receive.data(), 1) == 1; ++i)
                ++record.dropped;
        }

        // Any start reply will do, but a missing one ends the pass: a record never follows a
        // frame that went unanswered.
        PassExchanges exchanges(port, record, line, result.passes > 1);
        const auto fail = [&](PassExchanges::Answer answer) {
            failed = true;
            ++failureCounter;
            record.end = answer == PassExchanges::Answer::Doubt ? PassRecord::End::Noise
                                                                : PassRecord::End::Unanswered;
        };
        if (const auto answer =
                exchanges.Exchange(kStartRecord.data(), kStartRecord.size(), true, receive[0]);
            answer != PassExchanges::Answer::Reply)
            fail(answer);

        while (!failed) {
            reporter.SetProgressPosition(recordIndex);
            ++recordIndex;
            // The end of the payload; a broken payload never got this far.
            if (cursor.Next() != LineCursor::Step::Line)
                break;
            const std::size_t length = cursor.LineSize();
            transmit[0] = static_cast<std::uint8_t>(length - 1);
            std::copy(cursor.Line() + 1, cursor.Line() + length, transmit.begin() + 1);
            record.reached = recordIndex;
            const auto answer = exchanges.Exchange(transmit.data(), length, false, receive[0]);
            if (answer != PassExchanges::Answer::Reply) {
                fail(answer);
            } else if (receive[0] != kAck) {
                fail(answer);
                record.end = PassRecord::End::Refused;
                record.byte = receive[0];
            }
        }

        port.Close();
        record.took = port.Now() - passStart;
        reporter.PassEnded(record);
    } while (failed && failureCounter < kFailureBudget);

    result.failures = failureCounter;
    if (failureCounter >= kFailureBudget) {
        reporter.SetResultText(kUploadFailureText);
        reporter.ShowAdvice();
        result.outcome = UploadResult::Outcome::Failure;
    } else {
        reporter.SetResultText(kUploadSuccessText);
        result.outcome = UploadResult::Outcome::Success;
    }
    Finish(reporter);
    return result;
}

} // namespace tolvar
