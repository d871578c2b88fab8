#include "tools/sim/LoaderSim.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <utility>

namespace tolvar::sim {

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

} // namespace

void MakeRawLine(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        Fail("tcgetattr");
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD | CSTOPB;
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    if (tcsetattr(fd, TCSANOW, &tio) != 0)
        Fail("tcsetattr");
}

namespace {

void SleepUntilRoughly(Clock::time_point when) {
    // steady_clock is CLOCK_MONOTONIC on Linux; an absolute sleep does not drift.
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(when.time_since_epoch());
    timespec ts{static_cast<time_t>(ns.count() / 1'000'000'000),
                static_cast<long>(ns.count() % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

void SleepUntil(Clock::time_point when) {
    // Sleep to shortly before the deadline and spin the rest: a wake-up from sleep comes tens
    // of microseconds late, which over 837 exchanges would read as a slow uploader.
    constexpr auto kSpin = std::chrono::microseconds(60);
    SleepUntilRoughly(when - kSpin);
    while (Clock::now() < when) {
    }
}

bool IsStartRecord(const std::vector<std::uint8_t>& frame) {
    static constexpr std::uint8_t kStart[] = {0x0B, '0', '0', '0', '0', '0',
                                              '0',  'F', 'E', '0', '2', 0x0A};
    return frame.size() == sizeof kStart && std::equal(frame.begin(), frame.end(), kStart);
}

// Not ACK, and not the usual refusal either: what a noisy line might deliver.
constexpr std::uint8_t kGarbage = 0x5A;

const char* ImageText(Summary::Image image) {
    switch (image) {
    case Summary::Image::NotChecked:
        return "not-checked";
    case Summary::Image::None:
        return "none";
    case Summary::Image::Match:
        return "match";
    case Summary::Image::Mismatch:
        return "mismatch";
    }
    return "?";
}

} // namespace

namespace {

// In the order of the enumeration.
constexpr const char* kFaultNames[] = {"none", "refuse", "garbage",       "silent",
                                       "late", "double", "double-behind", "noise"};

} // namespace

const char* FaultName(Fault fault) {
    return kFaultNames[static_cast<int>(fault)];
}

std::optional<Fault> FaultNamed(std::string_view name) {
    for (std::size_t i = 1; i < std::size(kFaultNames); ++i)
        if (name == kFaultNames[i])
            return static_cast<Fault>(i);
    return std::nullopt;
}

std::string Summary::Line() const {
    return "passes=" + std::to_string(passes) + " frames=" + std::to_string(frames) +
           " acks=" + std::to_string(acks) + " refusals=" + std::to_string(refusals) +
           " framing_errors=" + std::to_string(framingErrors) + " image=" + ImageText(image) +
           (hungUp ? " hung_up=yes" : "") +
           (earlyRecords > 0 ? " early_records=" + std::to_string(earlyRecords) : "");
}

std::vector<std::string> Summary::PassLines() const {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < passReports.size(); ++i) {
        const PassReport& pass = passReports[i];
        lines.push_back("pass " + std::to_string(i + 1) + ": " +
                        (pass.dealt.empty() ? std::string("clean") : pass.dealt) +
                        (pass.whole ? " -> whole image" : " -> broken") +
                        (pass.recordAfterFault ? ", record sent after a fault" : "") +
                        (pass.earlyRecord ? ", record sent before the reply" : ""));
    }
    lines.push_back(std::string("verdict=") + (LastPassWhole() ? "success" : "failure"));
    return lines;
}

LoaderSim::LoaderSim(Options options) : options_(std::move(options)) {
    if (options_.storm)
        stormState_ = options_.storm->seed * 2654435761u;
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        Fail("pipe2");
}

LoaderSim::~LoaderSim() {
    for (int fd : {line_, slaveKeep_, wake_[0], wake_[1]})
        if (fd >= 0)
            close(fd);
}

std::string LoaderSim::OpenPty() {
    line_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (line_ < 0)
        Fail("posix_openpt");
    if (grantpt(line_) != 0 || unlockpt(line_) != 0)
        Fail("unlockpt");
    char name[128];
    if (ptsname_r(line_, name, sizeof name) != 0)
        Fail("ptsname_r");
    // Holding the slave open keeps the master alive while the PC closes and reopens the line
    // between passes; we never read from it.
    slaveKeep_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeep_ < 0)
        Fail(std::string("open ") + name);
    MakeRawLine(slaveKeep_);
    return name;
}

void LoaderSim::OpenDevice(const std::string& path) {
    line_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (line_ < 0)
        Fail("open " + path);
    MakeRawLine(line_);
}

void LoaderSim::Stop() {
    stop_.store(true);
    const char byte = 1;
    // Async-signal-safe; a full pipe already holds a wake-up.
    [[maybe_unused]] const auto ignored = write(wake_[1], &byte, 1);
}

void LoaderSim::Run() {
    if (line_ < 0)
        throw std::logic_error("LoaderSim::Run without a line");
    // Wake-ups as close to the deadline as the kernel allows; matters for line-time emulation.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    if (options_.lineTime) {
        // Hardware keeps time whatever else the machine does; a real-time priority gets the
        // emulation close to that where it is allowed. Best effort: ignored when refused.
        sched_param param{};
        param.sched_priority = 1;
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    }
    passBroken_ = true; // records before the first start record cannot form an image
    std::uint8_t buffer[4096];
    while (!stop_.load() && line_ >= 0) {
        pollfd fds[2] = {{line_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        const int timeout = pending_.empty() ? -1 : static_cast<int>(options_.frameGap.count());
        const int ready = poll(fds, 2, timeout);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (ready == 0) {
            // A frame that stopped half-way (for example the PC closed the line): drop it.
            ++summary_.framingErrors;
            pending_.clear();
            passBroken_ = true;
            continue;
        }
        if (fds[1].revents != 0)
            break;
        if (fds[0].revents == 0)
            continue;
        const ssize_t got = read(line_, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            break; // the line is gone
        if (options_.hangUpAfter > 0 && summary_.frames >= options_.hangUpAfter) {
            // Hang up as the next frame comes in: the last reply has surely been read, and the
            // PC is left waiting for an answer on a dead line.
            HangUp();
            break;
        }
        const auto now = Clock::now();
        const auto start = options_.lineTime ? std::max(rxFreeAt_, now) : now;
        for (ssize_t i = 0; i < got && line_ >= 0; ++i) {
            pending_.push_back(buffer[i]);
            if (pending_.size() == static_cast<std::size_t>(pending_[0]) + 1) {
                frameDone_ = options_.lineTime ? start + (i + 1) * kByteTime : now;
                chunkLeft_ = got - (i + 1);
                std::vector<std::uint8_t> frame;
                frame.swap(pending_);
                HandleFrame(frame);
            }
        }
        if (options_.lineTime)
            rxFreeAt_ = start + got * kByteTime;
    }
    CheckImage();
}

void LoaderSim::HandleFrame(const std::vector<std::uint8_t>& frame) {
    ++summary_.frames;
    const bool early = std::exchange(sentBeforeReply_, false);
    if (IsStartRecord(frame)) {
        // A start record may come at any time: the PC gave up on the previous frame.
        ++summary_.passes;
        recordInPass_ = 0;
        currentPass_.clear();
        passBroken_ = false;
        faultInPass_ = false;
        summary_.passReports.emplace_back();
        if (options_.silent || options_.silentStart) {
            faultInPass_ = true;
            return;
        }
        const Fault fault = FaultFor(true);
        // The start reply's value is not examined: only its absence or lateness is a fault.
        faultInPass_ = fault == Fault::Silent || fault == Fault::Late;
        const std::uint8_t reply = fault == Fault::Refuse    ? options_.refusal
                                   : fault == Fault::Garbage ? kGarbage
                                                             : options_.startReply;
        Answer(reply, fault);
        return;
    }
    ++recordInPass_;
    PassReport* report = summary_.passReports.empty() ? nullptr : &summary_.passReports.back();
    if (report && faultInPass_)
        report->recordAfterFault = true;
    if (early) {
        ++summary_.earlyRecords;
        if (report)
            report->earlyRecord = true;
    }
    std::optional<HexRecord> record;
    if (frame.size() >= 2 && frame.back() == '\r')
        record = ParseHexRecord(
            std::string_view(reinterpret_cast<const char*>(frame.data()) + 1, frame.size() - 2));
    bool accept = record.has_value();
    if (!accept)
        ++summary_.framingErrors;
    if (accept && options_.refuseEvery == recordInPass_)
        accept = false;
    if (accept && !refusedOnce_ && options_.refuseOnce == recordInPass_) {
        refusedOnce_ = true;
        accept = false;
    }
    const Fault fault = options_.silent ? Fault::Silent : accept ? FaultFor(false) : Fault::Refuse;
    if (fault == Fault::Silent || fault == Fault::Refuse || fault == Fault::Garbage) {
        passBroken_ = true;
        faultInPass_ = true;
        if (fault != Fault::Silent)
            ++summary_.refusals;
        Answer(fault == Fault::Garbage ? kGarbage : options_.refusal, fault);
        return;
    }
    // A late reply still means the loader took the record; the PC has given up on it by then.
    faultInPass_ = faultInPass_ || fault == Fault::Late;
    ++summary_.acks;
    currentPass_.push_back(*record);
    if (record->type == 0x01) {
        if (!passBroken_)
            lastCompletePass_ = currentPass_;
        if (report)
            report->whole = !faultInPass_;
    }
    Answer(0x06, fault);
}

Fault LoaderSim::FaultFor(bool start) {
    const long pass = summary_.passes;
    const long frame = start ? 0 : recordInPass_;
    Fault fault = Fault::None;
    for (Deal& deal : options_.deals) {
        if (deal.frame == frame && (deal.pass == pass || deal.pass == 0)) {
            fault = deal.fault;
            noise_ = deal.noise;
            if (deal.pass == 0)
                deal.pass = -1; // used up
            break;
        }
    }
    if (options_.storm) {
        // The same generator for every frame, so a seed gives the same storm on any machine.
        stormState_ = stormState_ * 1664525u + 1013904223u;
        const double roll = static_cast<double>(stormState_ >> 8) / double(1u << 24);
        if (fault == Fault::None && roll < options_.storm->rate)
            fault = static_cast<Fault>(1 + (stormState_ >> 4) % 5);
    }
    if (fault != Fault::None && !summary_.passReports.empty()) {
        std::string& dealt = summary_.passReports.back().dealt;
        if (!dealt.empty())
            dealt += ' ';
        dealt += FaultName(fault);
        dealt += '@';
        dealt += std::to_string(frame);
    }
    return fault;
}

void LoaderSim::Answer(std::uint8_t byte, Fault fault) {
    switch (fault) {
    case Fault::Silent:
        return;
    case Fault::Late:
        Reply(byte, options_.lateBy);
        return;
    case Fault::Double:
        Reply(byte, {}, 2);
        return;
    case Fault::DoubleBehind:
        Reply(byte, {}, 1, byte);
        return;
    case Fault::Noise:
        Reply(byte, {}, 1, noise_);
        return;
    default:
        Reply(byte);
        return;
    }
}

bool LoaderSim::MoreIsWaiting() const {
    int queued = 0;
    return chunkLeft_ > 0 || !pending_.empty() ||
           (ioctl(line_, FIONREAD, &queued) == 0 && queued > 0);
}

void LoaderSim::Reply(std::uint8_t byte, std::chrono::microseconds later, int copies,
                      std::optional<std::uint8_t> behind) {
    const std::uint8_t bytes[2] = {byte, byte};
    const auto send = [this](const std::uint8_t* what, std::size_t count) {
        if (write(line_, what, count) != static_cast<ssize_t>(count) && errno != EINTR)
            HangUp();
    };
    // A reply in time must come before the next frame: a PC that sends on before it has the
    // reply is found out here. After a late one it may well have begun a new pass.
    const auto checkAndSend = [&](std::size_t count) {
        if (later.count() == 0)
            sentBeforeReply_ = MoreIsWaiting();
        send(bytes, count);
    };
    if (!options_.lineTime) {
        if (options_.replyDelay.count() > 0 || later.count() > 0)
            std::this_thread::sleep_for(options_.replyDelay + later);
        checkAndSend(copies > 1 ? 2 : 1); // a doubled reply in one burst
        if (behind) {
            SleepUntil(Clock::now() + kByteTime);
            send(&*behind, 1);
        }
        return;
    }
    // The reply can start once the frame is in and the line back is free; it is seen by the PC
    // when its last bit is through. What trails it follows one byte time behind.
    auto at = std::max(frameDone_ + options_.replyDelay + later, txFreeAt_) + kByteTime;
    SleepUntil(at);
    checkAndSend(copies > 1 ? 2 : 1);
    at += (copies > 1 ? 1 : 0) * kByteTime;
    if (behind && line_ >= 0) {
        at += kByteTime;
        SleepUntil(at);
        send(&*behind, 1);
    }
    txFreeAt_ = at;
}

void LoaderSim::HangUp() {
    summary_.hungUp = true;
    stop_.store(true);
    for (int* fd : {&line_, &slaveKeep_}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

void LoaderSim::CheckImage() {
    if (!options_.reference)
        return;
    if (!lastCompletePass_) {
        summary_.image = Summary::Image::None;
        return;
    }
    HexMemory received;
    for (const HexRecord& record : *lastCompletePass_)
        AddToMemory(record, received);
    summary_.image =
        received == *options_.reference ? Summary::Image::Match : Summary::Image::Mismatch;
}

Summary LoaderSim::Result() const {
    return summary_;
}

std::optional<HexMemory> ReadHexFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot read";
        return std::nullopt;
    }
    const std::string image{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (const auto fault = CheckHexImage(image)) {
        error = FormatHexImageError(path, *fault);
        return std::nullopt;
    }
    return MemoryOfImage(image);
}

} // namespace tolvar::sim
