#include "scpi/CommandTree.h"

#include "numeric/TuningWord.h"

#include "scpi/Parameter.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace scpi {
namespace {

// ---- reply texts (locale-independent) ----

// Hz with four decimals: "12500000.0000".
std::string fixed4(double v) {
    if (!std::isfinite(v)) return "9.91E+37";  // SCPI's not-a-number
    if (v == 0) v = 0;                        // no "-0.0000"
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 4);
    return std::string(buf, r.ptr);
}

// The shortest plain decimal that reads back to the value; a value that is a
// single-precision number is written as that (0.1f as "0.1").
std::string plain(double v) {
    if (!std::isfinite(v)) return "9.91E+37";
    if (v == 0) v = 0;
    char buf[400];
    const float f = static_cast<float>(v);
    const auto r = static_cast<double>(f) == v ? std::to_chars(buf, buf + sizeof buf, f, std::chars_format::fixed)
                                                 : std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    return std::string(buf, r.ptr);
}

std::string hex8(uint32_t w) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s(8, '0');
    for (int i = 7; i >= 0; --i, w >>= 4) s[static_cast<size_t>(i)] = digits[w & 0xF];
    return s;
}

Outcome reply(Call& c, std::string text) {
    c.reply = std::move(text);
    return Outcome::success();
}

// ---- parameter helpers: parse, then act, or give the parse error ----

template <class F>
Outcome withReal(Call& c, Unit unit, F act) {
    const Parsed<double> p = parseReal(c.value, unit);
    return p.ok() ? act(p.value) : p.error;
}

template <class F>
Outcome withUnsigned(Call& c, uint32_t max, bool hex, F act) {
    const Parsed<uint32_t> p = parseUnsigned(c.value, max, hex);
    return p.ok() ? act(p.value) : p.error;
}

// The frequency the chip makes from a register: word x clock at its load / 2^32.
double registerHz(Instrument& in, int reg) {
    return numeric::wordMHz(in.frequencyWord(reg), in.frequencyClock(reg));
}

// ---- handlers that depend on a field or bit ----

template <ControlBit B>
Outcome setControl(Call& c) {
    const Parsed<bool> p = parseBoolean(c.value);
    return p.ok() ? c.instrument.setControl(B, p.value) : p.error;
}

template <ControlBit B>
Outcome queryControl(Call& c) {
    return reply(c, c.instrument.control(B) ? "1" : "0");
}

constexpr Unit unitOf(SweepField f) {
    return f == SweepField::Loops ? Unit::None : f == SweepField::Delay ? Unit::Delay : Unit::Frequency;
}

template <SweepField F>
Outcome setSweep(Call& c) {
    return withReal(c, unitOf(F), [&](double v) { return c.instrument.setSweep(c.n, F, v); });
}

template <SweepField F>
Outcome querySweep(Call& c) {
    const double v = c.instrument.sweep(c.n, F);
    return reply(c, unitOf(F) == Unit::Frequency ? fixed4(v) : plain(v));
}

template <SweepField F>
Node sweepField(std::string_view name) {
    return {name, -1, &setSweep<F>, true, &querySweep<F>, {}};
}

template <ControlBit B>
Node controlBit(std::string_view name) {
    return {name, -1, &setControl<B>, true, &queryControl<B>, {}};
}

Outcome errorNext(Call& c) { return reply(c, formatError(c.queue.next())); }

Node buildRoot() {
    using V = Call&;
    return Node{"", -1, nullptr, false, nullptr, {
        {"INITialise", -1, [](V c) { return c.instrument.initialise(); }, false, nullptr, {}},
        {"FREQuency", 1,
         [](V c) { return withReal(c, Unit::Frequency, [&](double hz) { return c.instrument.setFrequency(c.n, hz); }); },
         true, [](V c) { return reply(c, fixed4(registerHz(c.instrument, c.n))); },
         {{"WORD", -1,
           [](V c) {
               return withUnsigned(c, 0xFFFFFFFFu, true, [&](uint32_t w) { return c.instrument.setFrequencyWord(c.n, w); });
           },
           true, [](V c) { return reply(c, hex8(c.instrument.frequencyWord(c.n))); }, {}}}},
        {"PHASe", 3,
         [](V c) { return withReal(c, Unit::None, [&](double v) { return c.instrument.setPhase(c.n, v); }); }, true,
         [](V c) { return reply(c, std::to_string(c.instrument.phase(c.n))); }, {}},
        {"CLOCk", -1, [](V c) { return withReal(c, Unit::Frequency, [&](double hz) { return c.instrument.setClock(hz); }); },
         true, [](V c) { return reply(c, fixed4(c.instrument.clock())); }, {}},
        {"CONTrol", -1, nullptr, false, nullptr, {
            controlBit<ControlBit::Sync>("SYNC"),
            controlBit<ControlBit::Selsrc>("SELSrc"),
            controlBit<ControlBit::Sleep>("SLEep"),
            controlBit<ControlBit::Reset>("RESet"),
            {"CLEar", -1, [](V c) { return c.instrument.clear(); }, false, nullptr, {}}}},
        {"SELect", -1, nullptr, false, nullptr, {
            {"FREQuency", -1,
             [](V c) { return withUnsigned(c, 1, false, [&](uint32_t r) { return c.instrument.selectFrequency(int(r)); }); },
             true, [](V c) { return reply(c, std::to_string(c.instrument.selectedFrequency())); }, {}},
            {"PHASe", -1,
             [](V c) { return withUnsigned(c, 3, false, [&](uint32_t r) { return c.instrument.selectPhase(int(r)); }); },
             true, [](V c) { return reply(c, std::to_string(c.instrument.selectedPhase())); }, {}}}},
        {"WORD", -1,
         [](V c) { return withUnsigned(c, 0xFFFF, true, [&](uint32_t w) { return c.instrument.sendWord(uint16_t(w)); }); },
         true, nullptr, {}},
        {"SWEep", 1, nullptr, false, nullptr, {
            sweepField<SweepField::Start>("STARt"),
            sweepField<SweepField::Stop>("STOP"),
            sweepField<SweepField::Step>("STEP"),
            sweepField<SweepField::Loops>("LOOPs"),
            sweepField<SweepField::Delay>("DELay"),
            {"INITiate", -1, [](V c) { return c.instrument.startSweep(c.n); }, false, nullptr, {}},
            {"ABORt", -1, [](V c) { return c.instrument.stopSweep(c.n); }, false, nullptr, {}},
            {"STATe", -1, nullptr, false,
             [](V c) { return reply(c, c.instrument.sweepRunning(c.n) ? "RUN" : "IDLE"); }, {}}}},
        {"SYSTem", -1, nullptr, false, nullptr, {
            {"ERRor", -1, nullptr, false, &errorNext, {
                {"NEXT", -1, nullptr, false, &errorNext, {}},
                {"COUNt", -1, nullptr, false, [](V c) { return reply(c, std::to_string(c.queue.count())); }, {}}}},
            {"SETup", -1, nullptr, false, [](V c) { return reply(c, setupLine(c.instrument)); }, {}}}},
    }};
}

Node buildCommon() {
    using V = Call&;
    return Node{"", -1, nullptr, false, nullptr, {
        {"*IDN", -1, nullptr, false, [](V c) {
             auto field = [](std::string s) {  // a field holds no separator and no line end
                 for (char& ch : s)
                     if (ch == ',' || ch == ';' || static_cast<unsigned char>(ch) < 0x20) ch = ' ';
                 return s;
             };
             const Instrument::Identity id = c.instrument.identity();
             return reply(c, field(id.maker) + ",QZ4471," + field(id.backend) + "," + field(id.version));
         }, {}},
        {"*RST", -1, [](V c) { return c.instrument.reset(); }, false, nullptr, {}},
        {"*CLS", -1, [](V c) { c.queue.clear(); return Outcome::success(); }, false, nullptr, {}},
        // Every command runs to its end before the next is read, so all are done.
        {"*OPC", -1, nullptr, false, [](V c) { return reply(c, "1"); }, {}},
        {"*WAI", -1, [](V) { return Outcome::success(); }, false, nullptr, {}},
    }};
}

}  // namespace

const Node& commandRoot() {
    static const Node root = buildRoot();
    return root;
}

const Node& commonCommands() {
    static const Node common = buildCommon();
    return common;
}

bool matches(const Node& node, std::string_view mnemonic) {
    size_t shortLen = 0;
    while (shortLen < node.name.size() && !std::islower(static_cast<unsigned char>(node.name[shortLen]))) ++shortLen;
    if (mnemonic.size() != shortLen && mnemonic.size() != node.name.size()) return false;
    for (size_t i = 0; i < mnemonic.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(mnemonic[i])) != std::toupper(static_cast<unsigned char>(node.name[i])))
            return false;
    return true;
}

std::string setupLine(Instrument& in) {
    auto bit = [&](ControlBit b) { return in.control(b) ? "1" : "0"; };
    // Each word is loaded under the clock it was loaded with, then the present clock is committed.
    double clock = in.frequencyClock(0);
    std::string s = "CLOC " + plain(clock);
    for (int reg = 0; reg < 2; ++reg) {
        if (in.frequencyClock(reg) != clock) s += ";:CLOC " + plain(clock = in.frequencyClock(reg));
        s += ";:FREQ" + std::to_string(reg) + ":WORD #H" + hex8(in.frequencyWord(reg));
    }
    if (in.clock() != clock) s += ";:CLOC " + plain(in.clock());
    for (int reg = 0; reg < 4; ++reg) s += ";:PHAS" + std::to_string(reg) + " " + std::to_string(in.phase(reg));
    // Selecting needs SELSRC at 1; its final state comes after.
    s += std::string(";:CONT:SYNC ") + bit(ControlBit::Sync) + ";SELS 1";
    s += ";:SEL:FREQ " + std::to_string(in.selectedFrequency()) + ";PHAS " + std::to_string(in.selectedPhase());
    s += std::string(";:CONT:SELS ") + bit(ControlBit::Selsrc) + ";SLE " + bit(ControlBit::Sleep) + ";RES " +
         bit(ControlBit::Reset);
    return s;
}

}  // namespace scpi
