// Any bytes through the line framer and a session: no crash, no argument
// the instrument must not see (the fake aborts on those), replies that stay
// one line, only standard error numbers, a queue of at most 20, and a
// SYSTem:SETup? that restores whatever state the input left.
#include "FakeInstrument.h"
#include "scpi/LineFramer.h"
#include "scpi/Session.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string_view>

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

std::string state(scpi::Session& s) {
    return s.execute("CLOC?;:FREQ0:WORD?;:FREQ1:WORD?;:FREQ0?;:FREQ1?;:PHAS0?;PHAS1?;PHAS2?;PHAS3?;"
                     ":CONT:SYNC?;SELS?;SLE?;RES?;:SEL:FREQ?;PHAS?").reply;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::set<int> known = {-100, -101, -102, -104, -108, -109, -113, -114, -131,
                                        -213, -221, -222, -350, -363};
    FakeInstrument fake;
    scpi::Session session(fake);
    auto checked = [&](const scpi::LineResult& r) {
        check(r.replied || r.reply.empty());
        check(r.reply.find_first_of(std::string_view("\n\0", 2)) == std::string::npos);
        for (char c : r.reply) check(static_cast<unsigned char>(c) < 0x80);
        for (const auto& e : r.errors) check(known.count(e.code) == 1);
        check(session.queue().count() <= scpi::ErrorQueue::kCapacity);
    };
    // A held line (*WAI, *OPC? while a sweep runs) goes on once the sweeps end.
    auto release = [&] {
        while (session.held()) {
            fake.finishSweep(0);
            fake.finishSweep(1);
            check(session.ready());
            checked(session.resume());
        }
    };
    scpi::LineFramer framer({[&](std::string_view line) {
                                 release();
                                 checked(session.execute(line));
                             },
                             [&] { session.report(scpi::Outcome::error(scpi::InputBufferOverrun)); }});
    framer.feed(std::string_view(reinterpret_cast<const char*>(data), size));
    framer.finish();
    release();

    FakeInstrument fresh;
    scpi::Session restore(fresh);
    check(restore.execute(session.execute("SYST:SET?").reply).errors.empty());
    check(state(restore) == state(session));
    return 0;
}
