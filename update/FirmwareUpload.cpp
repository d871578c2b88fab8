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

// Bytes read while waiting for the line to fall quiet before a new pass; a line that keeps
// talking longer than this gets no more patience, and its noise fails the pass as it comes.
constexpr int kQuietReadLimit = 8;

using Clock = std::chrono::steady_clock;

// The exchanges of one pass, each a frame out and its one-byte reply back. What came in before
// a frame went out answers an earlier frame (a late or doubled reply, noise), so it is dropped.
// A byte can also slip in just after that drop, right behind an earlier reply: it then comes
// sooner than the frame could have crossed the line. Once the line has carried the earlier
// frames of the pass at its speed, such a byte is taken for what it is and the reply is the byte
// after it; a line that answers faster than that (a pseudo-terminal, an emulator) is left as it
// is, and where no second byte comes the first one stands.
class PassExchanges {
public:
    explicit PassExchanges(UploadPort& port) : port_(port) {}

    bool Exchange(const std::uint8_t* frame, std::size_t length, std::uint8_t& reply) {
        port_.DiscardInput();
        const Clock::time_point sent = Clock::now();
        port_.Write(frame, static_cast<std::int32_t>(length));
        if (port_.Read(&reply, 1) != 1)
            return false;
        const auto onLine = static_cast<long>(length + 1) * kByteTime; // the frame, the reply
        auto took = Clock::now() - sent;
        if (took < onLine / 2 && !unpaced_ && pacedExchanges_ >= 2) {
            std::uint8_t next = 0;
            if (port_.Read(&next, 1) != 1) {
                unpaced_ = true; // it was the reply after all, on a line faster than it seemed
                return true;
            }
            reply = next;
            took = Clock::now() - sent;
        }
        if (took * 10 >= onLine * 9)
            ++pacedExchanges_;
        else
            unpaced_ = true;
        return true;
    }

private:
    UploadPort& port_;
    int pacedExchanges_ = 0;
    bool unpaced_ = false;
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

    do {
        failed = false;
        PassRecord record;
        record.number = result.passes + 1;
        record.lines = CountLines(*payload);
        record.started = std::chrono::system_clock::now();
        const Clock::time_point passStart = Clock::now();
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
            for (int i = 0; i < kQuietReadLimit && port.Read(receive.data(), 1) == 1; ++i) {
            }
        }

        // Any start reply will do, but a missing one ends the pass: a record never follows a
        // frame that went unanswered.
        PassExchanges exchanges(port);
        if (!exchanges.Exchange(kStartRecord.data(), kStartRecord.size(), receive[0])) {
            failed = true;
            ++failureCounter;
            record.end = PassRecord::End::Unanswered;
        }

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
            if (!exchanges.Exchange(transmit.data(), length, receive[0])) {
                failed = true;
                record.end = PassRecord::End::Unanswered;
            } else if (receive[0] != kAck) {
                failed = true;
                record.end = PassRecord::End::Refused;
                record.byte = receive[0];
            }
            failureCounter += failed ? 1 : 0;
        }

        port.Close();
        record.took = Clock::now() - passStart;
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
