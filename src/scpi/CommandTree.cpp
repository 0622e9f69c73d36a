#include "scpi/CommandTree.h"

#include "numeric/TuningWord.h"

#include "scpi/LineFramer.h"
#include "scpi/Parameter.h"
#include "scpi/Session.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>

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
    constexpr char digits[] = "0123456789ABCDEF";
    std::string s(8, '0');
    for (int i = 7; i >= 0; --i, w >>= 4) s[static_cast<size_t>(i)] = digits[w & 0xF];
    return s;
}

Outcome reply(Call& c, std::string text) {
    c.reply = std::move(text);
    return Outcome::success();
}

// ---- parameter helpers: parse, check the range, then act, or give the error ----

// A MINimum, MAXimum or DEFault word as the value it stands for.
std::optional<double> limitValue(Call& c, RangeOf range) {
    const std::optional<Limit> l = parseLimit(c.value);
    if (!l || !range) return std::nullopt;
    const Range r = range(c);
    return *l == Limit::Min ? r.min : *l == Limit::Max ? r.max : std::min(r.def, r.max);
}

// A number in the setting's unit; outside its range -222 and nothing happens.
template <class F>
Outcome withReal(Call& c, Unit unit, RangeOf range, F act) {
    if (const auto v = limitValue(c, range)) return act(*v);
    const Parsed<double> p = parseReal(c.value, unit);
    if (!p.ok()) return p.error;
    if (range) {
        const Range r = range(c);
        if (!(p.value >= r.min && p.value <= r.max)) return Outcome::error(DataOutOfRange);
    }
    return act(p.value);
}

template <class F>
Outcome withUnsigned(Call& c, uint32_t max, bool hex, RangeOf range, F act) {
    if (const auto v = limitValue(c, range)) return act(static_cast<uint32_t>(*v));
    const Parsed<uint32_t> p = parseUnsigned(c.value, max, hex);
    return p.ok() ? act(p.value) : p.error;
}

// A register value of the common commands and STATus: a fraction is rounded.
template <class F>
Outcome withRounded(Call& c, uint32_t max, RangeOf range, F act) {
    if (const auto v = limitValue(c, range)) return act(static_cast<uint32_t>(*v));
    const Parsed<uint32_t> p = parseRoundedUnsigned(c.value, max);
    return p.ok() ? act(p.value) : p.error;
}

// A query's answer, or with MIN|MAX|DEF the limit in the same form.
template <class Format>
Outcome answer(Call& c, RangeOf range, Format format, double present) {
    if (c.value.empty()) return reply(c, format(present));
    const auto v = limitValue(c, range);
    if (!v) return Outcome::error(ParameterNotAllowed);  // a query takes MIN, MAX or DEF only
    return reply(c, format(*v));
}

// The frequency the chip makes from a register: word x clock at its load / 2^32.
double registerHz(Instrument& in, int reg) {
    return numeric::wordMHz(in.frequencyWord(reg), in.frequencyClock(reg));
}

std::string hexWord(double w) { return "#H" + hex8(static_cast<uint32_t>(w)); }
std::string whole(double v) { return std::to_string(static_cast<long long>(v)); }

// ---- ranges ----

constexpr double kMaxLoops = 9999999;  // the loops field shows seven digits

Range frequencyRange(Call& c) { return {0, c.instrument.clock() / 2, 0}; }
Range phaseRange(Call&) { return {0, 4095, 0}; }
Range clockRange(Call&) { return {1e3, 1e9, 50e6}; }
Range wordRange(Call&) { return {0, 4294967295.0, 0}; }
Range freqSelectRange(Call&) { return {0, 1, 0}; }
Range phaseSelectRange(Call&) { return {0, 3, 0}; }
Range enableRange(Call&) { return {0, 65535, 0}; }

template <SweepField F>
Range sweepRange(Call& c) {
    const double half = c.instrument.clock() / 2;
    switch (F) {
    case SweepField::Start: return {0, half, 0};
    case SweepField::Stop: return {0, half, 10e6};
    case SweepField::Step: return {0, half, 1e6};
    case SweepField::Loops: return {1, kMaxLoops, 1};
    case SweepField::Delay: return {0, 100000, 1};
    case SweepField::Points: return {2, 100000, 11};
    }
    return {0, 0, 0};
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
    return f == SweepField::Loops || f == SweepField::Points ? Unit::None
           : f == SweepField::Delay                          ? Unit::Delay
                                                             : Unit::Frequency;
}

template <SweepField F>
Outcome setSweep(Call& c) {
    return withReal(c, unitOf(F), &sweepRange<F>, [&](double v) { return c.instrument.setSweep(c.n, F, v); });
}

template <SweepField F>
Outcome querySweep(Call& c) {
    return answer(c, &sweepRange<F>, unitOf(F) == Unit::Frequency ? fixed4 : plain, c.instrument.sweep(c.n, F));
}

template <SweepField F>
Node sweepField(std::string_view name) {
    return {name, -1, &setSweep<F>, true, &querySweep<F>, {}, &sweepRange<F>};
}

bool nameMatches(std::string_view name, std::string_view word);

// A setting that is one of two words, each in its short or long form; the
// query answers the short form.
template <std::string_view const* Words, Outcome (Instrument::*Set)(int, bool), bool (Instrument::*Get)(int)>
Node choice(std::string_view name) {
    using V = Call&;
    return {name, -1,
            [](V c) {
                if (!isCharacterData(c.value)) return Outcome::error(wrongKind(c.value));
                for (bool second : {false, true})
                    if (nameMatches(Words[second], c.value)) return (c.instrument.*Set)(c.n, second);
                return Outcome::error(IllegalParameterValue);
            },
            true,
            [](V c) {
                const std::string_view w = Words[(c.instrument.*Get)(c.n)];
                size_t n = 0;
                while (n < w.size() && !std::islower(static_cast<unsigned char>(w[n]))) ++n;
                return reply(c, std::string(w.substr(0, n)));
            },
            {}};
}
constexpr std::string_view kSpacings[] = {"LINear", "LOGarithmic"};
constexpr std::string_view kDirections[] = {"UP", "UDOWn"};

template <ControlBit B>
Node controlBit(std::string_view name) {
    return {name, -1, &setControl<B>, true, &queryControl<B>, {}};
}

// ---- keying ----

constexpr std::pair<KeyingType, std::string_view> kKeyingTypes[] = {
    {KeyingType::FSK, "FSK"}, {KeyingType::BPSK, "BPSK"}, {KeyingType::QPSK, "QPSK"}};
constexpr std::string_view kPrbsNames[] = {"PRBS7", "PRBS9", "PRBS15"};
constexpr double kInfinity = 9.9e37;  // SCPI's INFinity as a number

std::string upper(std::string_view s) {
    std::string u(s);
    for (char& ch : u) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return u;
}

bool isPrbsName(std::string_view s) {
    const std::string u = upper(s);
    return std::find(std::begin(kPrbsNames), std::end(kPrbsNames), u) != std::end(kPrbsNames);
}

Outcome setKeyingType(Call& c) {
    if (!isCharacterData(c.value)) return Outcome::error(wrongKind(c.value));
    const std::string name = upper(c.value);
    for (const auto& [type, typeName] : kKeyingTypes)
        if (name == typeName) return c.instrument.setKeyingType(type);
    return Outcome::error(IllegalParameterValue);
}

Outcome queryKeyingType(Call& c) {
    const KeyingType t = c.instrument.keyingType();
    for (const auto& [type, typeName] : kKeyingTypes)
        if (type == t) return reply(c, std::string(typeName));
    return reply(c, "FSK");
}

// Bits or hexadecimal in quotes, a PRBS name bare.
Outcome setKeyingPattern(Call& c) {
    if (isCharacterData(c.value)) {
        if (!isPrbsName(c.value))
            return Outcome::error(IllegalParameterValue, "PRBS7, PRBS9 or PRBS15 bare; bits or #H and hexadecimal in quotes");
        return c.instrument.setKeyingPattern(std::string(c.value));
    }
    const Parsed<std::string> p = parseString(c.value);
    return p.ok() ? c.instrument.setKeyingPattern(p.value) : p.error;
}

// The pattern in the form it is set in.
std::string patternParameter(const std::string& text) {
    if (isPrbsName(text)) return upper(text);
    std::string s = "\"";
    for (char ch : text) {
        if (ch == '"') s += '"';
        s += ch;
    }
    return s + '"';
}

Range keyingRateRange(Call& c) { return {c.instrument.minKeyingRate(), c.instrument.maxKeyingRate(), 1000}; }

// DEFault is INFinity, which no Range holds: the count's handlers read the limit words themselves.
Range keyingCountRange(Call& c) { return {1, static_cast<double>(c.instrument.maxKeyingCount()), kInfinity}; }

// A whole number of symbols, or INFinity (also as 9.9E37): until stopped.
Outcome setKeyingCount(Call& c) {
    if (const std::optional<Limit> l = parseLimit(c.value))
        return c.instrument.setKeyingCount(*l == Limit::Min ? 1 : *l == Limit::Max ? c.instrument.maxKeyingCount() : 0);
    if (isCharacterData(c.value)) {
        const std::string word = upper(c.value);
        if (word == "INF" || word == "INFINITY") return c.instrument.setKeyingCount(0);
        return Outcome::error(DataTypeError);
    }
    const Parsed<double> p = parseReal(c.value, Unit::None);
    if (!p.ok()) return p.error;
    if (p.value == kInfinity) return c.instrument.setKeyingCount(0);
    const double max = static_cast<double>(c.instrument.maxKeyingCount());
    if (!(p.value >= 1 && p.value <= max) || p.value != std::floor(p.value)) return Outcome::error(DataOutOfRange);
    return c.instrument.setKeyingCount(static_cast<uint64_t>(p.value));
}

std::string countParameter(uint64_t count) { return count == 0 ? "9.9E37" : std::to_string(count); }

Outcome queryKeyingCount(Call& c) {
    if (c.value.empty()) return reply(c, countParameter(c.instrument.keyingCount()));
    const std::optional<Limit> l = parseLimit(c.value);
    if (!l) return Outcome::error(ParameterNotAllowed);
    return reply(c, countParameter(*l == Limit::Min ? 1 : *l == Limit::Max ? c.instrument.maxKeyingCount() : 0));
}

Outcome setKeyingState(Call& c) {
    const Parsed<bool> on = parseBoolean(c.value);
    if (!on.ok()) return on.error;
    if (!on.value) return c.instrument.stopKeying();
    if (c.instrument.keyingRunning()) return Outcome::error(InitIgnored);
    return c.instrument.startKeying();
}

// ---- hop lists ----

constexpr double kMaxListPasses = 4294967295.0;
// Each LIST:FREQ or LIST:DWEL line a setup writes stays under the 4096-byte line limit.
constexpr size_t kSetupChunk = 3800;

// Values separated by commas, each parsed in the unit and checked against
// [min, max]; the first bad one gives the error, naming its place.
Outcome listValues(Call& c, Unit unit, double min, double max, std::vector<double>& out) {
    size_t start = 0, n = 0;
    for (;;) {
        const size_t comma = c.value.find(',', start);
        const std::string_view item = trimBlanks(c.value.substr(start, comma == std::string_view::npos ? comma : comma - start));
        ++n;
        const Parsed<double> p = parseReal(item, unit);
        if (!p.ok()) return p.error;
        if (!(p.value >= min && p.value <= max))
            return Outcome::error(DataOutOfRange, "value " + std::to_string(n));
        out.push_back(p.value);
        if (comma == std::string_view::npos) return Outcome::success();
        start = comma + 1;
    }
}

template <bool Append>
Outcome setListFrequencies(Call& c) {
    std::vector<double> hz;
    if (Outcome o = listValues(c, Unit::Frequency, 0, c.instrument.clock() / 2, hz); !o.ok()) return o;
    return c.instrument.setListFrequencies(hz, Append);
}

// Seconds; the instrument checks each dwell against what the port keeps.
template <bool Append>
Outcome setListDwells(Call& c) {
    std::vector<double> s;
    if (Outcome o = listValues(c, Unit::Seconds, 0, 1e300, s); !o.ok()) return o;
    return c.instrument.setListDwells(s, Append);
}

// The shortest plain decimal that reads back as the double: unlike plain(),
// a row's value that happens to be a single-precision number keeps its digits.
std::string exact(double v) {
    if (v == 0) v = 0;
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    return std::string(buf, r.ptr);
}

std::string joined(const std::vector<double>& values) {
    std::string s;
    for (double v : values) {
        if (!s.empty()) s += ',';
        s += exact(v);
    }
    return s;
}

Range listCountRange(Call&) { return {1, kMaxListPasses, 1}; }

// A whole number of passes, or INFinity (also as 9.9E37): until stopped.
Outcome setListCount(Call& c) {
    if (const std::optional<Limit> l = parseLimit(c.value))
        return c.instrument.setListCount(*l == Limit::Max ? static_cast<uint64_t>(kMaxListPasses) : 1);
    if (isCharacterData(c.value)) {
        const std::string word = upper(c.value);
        if (word == "INF" || word == "INFINITY") return c.instrument.setListCount(0);
        return Outcome::error(DataTypeError);
    }
    const Parsed<double> p = parseReal(c.value, Unit::None);
    if (!p.ok()) return p.error;
    if (p.value == kInfinity) return c.instrument.setListCount(0);
    if (!(p.value >= 1 && p.value <= kMaxListPasses) || p.value != std::floor(p.value))
        return Outcome::error(DataOutOfRange);
    return c.instrument.setListCount(static_cast<uint64_t>(p.value));
}

Outcome queryListCount(Call& c) {
    if (c.value.empty()) return reply(c, countParameter(c.instrument.listCount()));
    const std::optional<Limit> l = parseLimit(c.value);
    if (!l) return Outcome::error(ParameterNotAllowed);
    return reply(c, countParameter(*l == Limit::Max ? static_cast<uint64_t>(kMaxListPasses) : 1));
}

Outcome setListState(Call& c) {
    const Parsed<bool> on = parseBoolean(c.value);
    if (!on.ok()) return on.error;
    if (!on.value) return c.instrument.stopList();
    if (c.instrument.listRunning()) return Outcome::error(InitIgnored);
    return c.instrument.startList();
}

Outcome setTriggerSource(Call& c) {
    if (!isCharacterData(c.value)) return Outcome::error(wrongKind(c.value));
    const std::string word = upper(c.value);
    if (word == "IMM" || word == "IMMEDIATE") return c.instrument.setTriggerBus(false);
    if (word == "BUS") return c.instrument.setTriggerBus(true);
    return Outcome::error(IllegalParameterValue);
}

// A file name of the working folder: no folder part, nothing that climbs out.
Outcome listFileName(Call& c, std::string& name) {
    const Parsed<std::string> p = parseString(c.value);
    if (!p.ok()) return p.error;
    if (p.value.empty() || p.value.find_first_of("/\\") != std::string::npos || p.value.find("..") != std::string::npos)
        return Outcome::error(FileNameError);
    name = p.value;
    return Outcome::success();
}

Outcome refuseFilesFromAfar(Call& c);

Outcome loadList(Call& c) {
    std::string name;
    if (Outcome o = listFileName(c, name); !o.ok()) return o;
    if (Outcome o = refuseFilesFromAfar(c); !o.ok()) return o;
    return c.instrument.loadList(name);
}

Outcome saveList(Call& c) {
    std::string name;
    if (Outcome o = listFileName(c, name); !o.ok()) return o;
    if (Outcome o = refuseFilesFromAfar(c); !o.ok()) return o;
    return c.instrument.saveList(name);
}

// "LIST:FREQ a,b" then "LIST:FREQ:APP c,d" parts, each under kSetupChunk bytes.
void appendListParts(std::string& s, const char* header, const std::vector<double>& values) {
    std::string part;
    bool first = true;
    auto flush = [&] {
        s += std::string(";:LIST:") + header + (first ? " " : ":APP ") + part;
        first = false;
        part.clear();
    };
    for (double v : values) {
        const std::string t = exact(v);
        if (!part.empty() && part.size() + t.size() + 1 > kSetupChunk) flush();
        if (!part.empty()) part += ',';
        part += t;
    }
    if (!part.empty()) flush();
}

Outcome errorNext(Call& c) { return reply(c, formatError(c.queue.next())); }
Outcome errorCode(Call& c) { return reply(c, std::to_string(c.queue.next().code)); }
// Every entry, oldest first; 0,"No error" when there is none.
Outcome errorAll(Call& c) {
    std::string all = formatError(c.queue.next());
    while (c.queue.count() > 0) all += "," + formatError(c.queue.next());
    return reply(c, all);
}

Range ptrRange(Call&) { return {0, 65535, StatusRegisters::kPtrDefault}; }
Range ntrRange(Call&) { return {0, 65535, StatusRegisters::kNtrDefault}; }

// One 15-bit mask of a STATus register (bit 15 is always 0).
template <uint16_t StatusRegisters::*Mask, RangeOf Limits>
Node statusMask(std::string_view name) {
    using V = Call&;
    return {name, -1,
            [](V c) {
                return withRounded(c, 65535, Limits, [&](uint32_t v) {
                    c.session.status().*Mask = uint16_t(v & 0x7FFF);
                    return Outcome::success();
                });
            },
            true, [](V c) { return answer(c, Limits, whole, c.session.status().*Mask); }, {}, Limits};
}

// STATus:OPERation and STATus:QUEStionable: event (read and cleared),
// condition, enable, and the transition filters that latch the events.
template <bool Oper>
Node statusRegister(std::string_view name) {
    using V = Call&;
    using R = StatusRegisters;
    auto event = [](V c) {
        c.session.updateConditions();
        uint16_t& e = Oper ? c.session.status().operEvent : c.session.status().quesEvent;
        const uint16_t v = e;
        e = 0;
        return reply(c, std::to_string(v));
    };
    return {name, -1, nullptr, false, event, {
        {"EVENt", -1, nullptr, false, event, {}},
        {"CONDition", -1, nullptr, false, [](V c) {
             c.session.updateConditions();
             return reply(c, std::to_string(Oper ? c.session.status().operSeen : c.session.status().quesSeen));
         }, {}},
        statusMask<Oper ? &R::operEnable : &R::quesEnable, &enableRange>("ENABle"),
        statusMask<Oper ? &R::operPtr : &R::quesPtr, &ptrRange>("PTRansition"),
        statusMask<Oper ? &R::operNtr : &R::quesNtr, &ntrRange>("NTRansition")}};
}

Node buildRoot() {
    using V = Call&;
    return Node{"", -1, nullptr, false, nullptr, {
        {"INITialise", -1, [](V c) { return c.instrument.initialise(); }, false, nullptr, {}},
        {"FREQuency", 1,
         [](V c) {
             return withReal(c, Unit::Frequency, &frequencyRange,
                             [&](double hz) { return c.instrument.setFrequency(c.n, hz); });
         },
         true, [](V c) { return answer(c, &frequencyRange, fixed4, registerHz(c.instrument, c.n)); },
         {{"WORD", -1,
           [](V c) {
               return withUnsigned(c, 0xFFFFFFFFu, true, &wordRange,
                                   [&](uint32_t w) { return c.instrument.setFrequencyWord(c.n, w); });
           },
           true, [](V c) { return answer(c, &wordRange, hexWord, c.instrument.frequencyWord(c.n)); }, {},
           &wordRange}},
         &frequencyRange},
        {"PHASe", 3,
         [](V c) {
             return withReal(c, Unit::None, &phaseRange, [&](double v) { return c.instrument.setPhase(c.n, v); });
         },
         true, [](V c) { return answer(c, &phaseRange, whole, c.instrument.phase(c.n)); }, {}, &phaseRange},
        {"CLOCk", -1,
         [](V c) { return withReal(c, Unit::Frequency, &clockRange, [&](double hz) { return c.instrument.setClock(hz); }); },
         true, [](V c) { return answer(c, &clockRange, fixed4, c.instrument.clock()); }, {}, &clockRange},
        {"CONTrol", -1, nullptr, false, nullptr, {
            controlBit<ControlBit::Sync>("SYNC"),
            controlBit<ControlBit::Selsrc>("SELSrc"),
            controlBit<ControlBit::Sleep>("SLEep"),
            controlBit<ControlBit::Reset>("RESet"),
            {"CLEar", -1, [](V c) { return c.instrument.clear(); }, false, nullptr, {}}}},
        {"SELect", -1, nullptr, false, nullptr, {
            {"FREQuency", -1,
             [](V c) {
                 return withUnsigned(c, 1, false, &freqSelectRange,
                                     [&](uint32_t r) { return c.instrument.selectFrequency(int(r)); });
             },
             true, [](V c) { return answer(c, &freqSelectRange, whole, c.instrument.selectedFrequency()); }, {},
             &freqSelectRange},
            {"PHASe", -1,
             [](V c) {
                 return withUnsigned(c, 3, false, &phaseSelectRange,
                                     [&](uint32_t r) { return c.instrument.selectPhase(int(r)); });
             },
             true, [](V c) { return answer(c, &phaseSelectRange, whole, c.instrument.selectedPhase()); }, {},
             &phaseSelectRange}}},
        {"WORD", -1,
         [](V c) { return withUnsigned(c, 0xFFFF, true, nullptr, [&](uint32_t w) { return c.instrument.sendWord(uint16_t(w)); }); },
         true, nullptr, {}},
        {"SWEep", 1, nullptr, false, nullptr, {
            sweepField<SweepField::Start>("STARt"),
            sweepField<SweepField::Stop>("STOP"),
            sweepField<SweepField::Step>("STEP"),
            sweepField<SweepField::Loops>("LOOPs"),
            sweepField<SweepField::Delay>("DELay"),
            sweepField<SweepField::Points>("POINts"),
            choice<kSpacings, &Instrument::setSweepLog, &Instrument::sweepLog>("SPACing"),
            choice<kDirections, &Instrument::setSweepUpDown, &Instrument::sweepUpDown>("DIRection"),
            {"INITiate", -1,
             [](V c) {
                 if (c.instrument.sweepRunning(c.n)) return Outcome::error(InitIgnored);
                 return c.instrument.startSweep(c.n);
             },
             false, nullptr, {}},
            {"ABORt", -1, [](V c) { return c.instrument.stopSweep(c.n); }, false, nullptr, {}},
            {"STATe", -1, nullptr, false,
             [](V c) { return reply(c, c.instrument.sweepRunning(c.n) ? "RUN" : "IDLE"); }, {}},
            {"PROGress", -1, nullptr, false,
             [](V c) {
                 const Instrument::SweepProgress p = c.instrument.sweepProgress(c.n);
                 return reply(c, std::to_string(p.step) + "," + std::to_string(p.steps) + "," +
                                     std::to_string(p.loop) + "," + std::to_string(p.loops));
             },
             {}}}},
        {"MODulation", -1, nullptr, false, nullptr, {
            {"TYPE", -1, &setKeyingType, true, &queryKeyingType, {}},
            {"PATTern", -1, &setKeyingPattern, true,
             [](V c) { return reply(c, patternParameter(c.instrument.keyingPattern())); }, {}},
            {"RATE", -1,
             [](V c) {
                 return withReal(c, Unit::Frequency, &keyingRateRange,
                                 [&](double v) { return c.instrument.setKeyingRate(v); });
             },
             true, [](V c) { return answer(c, &keyingRateRange, plain, c.instrument.keyingRate()); }, {},
             &keyingRateRange},
            {"COUNt", -1, &setKeyingCount, true, &queryKeyingCount, {}, &keyingCountRange},
            {"STATe", -1, &setKeyingState, true,
             [](V c) { return reply(c, c.instrument.keyingRunning() ? "1" : "0"); }, {}}}},
        {"LIST", -1, nullptr, false, nullptr, {
            {"FREQuency", -1, &setListFrequencies<false>, true,
             [](V c) { return reply(c, joined(c.instrument.listFrequencies())); },
             {{"APPend", -1, &setListFrequencies<true>, true, nullptr, {}, nullptr, true}}, nullptr, true},
            {"DWELl", -1, &setListDwells<false>, true, [](V c) { return reply(c, joined(c.instrument.listDwells())); },
             {{"APPend", -1, &setListDwells<true>, true, nullptr, {}, nullptr, true}}, nullptr, true},
            {"POINts", -1, nullptr, false,
             [](V c) { return reply(c, std::to_string(c.instrument.listFrequencies().size())); }, {}},
            {"COUNt", -1, &setListCount, true, &queryListCount, {}, &listCountRange},
            {"STATe", -1, &setListState, true, [](V c) { return reply(c, c.instrument.listRunning() ? "1" : "0"); }, {}},
            {"PROGress", -1, nullptr, false,
             [](V c) {
                 const Instrument::ListProgress p = c.instrument.listProgress();
                 return reply(c, std::to_string(p.row) + "," + std::to_string(p.rows) + "," + std::to_string(p.pass) +
                                     "," + std::to_string(p.passes));
             },
             {}},
            {"LOAD", -1, &loadList, true, nullptr, {}},
            {"SAVE", -1, &saveList, true, nullptr, {}}}},
        {"TRIGger", -1, [](V c) { return c.instrument.trigger(); }, false, nullptr, {
            {"IMMediate", -1, [](V c) { return c.instrument.trigger(); }, false, nullptr, {}},
            {"SOURce", -1, &setTriggerSource, true,
             [](V c) { return reply(c, c.instrument.triggerBus() ? "BUS" : "IMM"); }, {}}}},
        // Stops every sweep, keying and list.
        {"ABORt", -1,
         [](V c) {
             for (int g = 0; g < 2; ++g)
                 if (Outcome o = c.instrument.stopSweep(g); !o.ok()) return o;
             if (Outcome o = c.instrument.stopList(); !o.ok()) return o;
             return c.instrument.stopKeying();
         },
         false, nullptr, {}},
        {"STATus", -1, nullptr, false, nullptr, {
            statusRegister<true>("OPERation"),
            statusRegister<false>("QUEStionable"),
            {"PRESet", -1,
             [](V c) {
                 StatusRegisters& r = c.session.status();
                 r.operEnable = r.quesEnable = 0;
                 r.operPtr = r.quesPtr = StatusRegisters::kPtrDefault;
                 r.operNtr = r.quesNtr = StatusRegisters::kNtrDefault;
                 return Outcome::success();
             },
             false, nullptr, {}}}},
        {"SYSTem", -1, nullptr, false, nullptr, {
            {"ERRor", -1, nullptr, false, &errorNext, {
                {"NEXT", -1, nullptr, false, &errorNext, {}},
                {"ALL", -1, nullptr, false, &errorAll, {}},
                {"CODE", -1, nullptr, false, &errorCode, {{"NEXT", -1, nullptr, false, &errorCode, {}}}},
                {"COUNt", -1, nullptr, false, [](V c) { return reply(c, std::to_string(c.queue.count())); }, {}}}},
            {"SETup", -1, nullptr, false, [](V c) { return reply(c, setupLine(c.instrument)); }, {}},
            {"VERSion", -1, nullptr, false, [](V c) { return reply(c, "1999.0"); }, {}}}},
    }};
}

// A field of *IDN?: printable ASCII words separated by single blanks.
std::string idnField(const std::string& s) {
    std::string out;
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        const bool blank = c <= 0x20 || c >= 0x7F || ch == ',' || ch == ';';
        if (blank) {
            if (!out.empty() && out.back() != ' ') out += ' ';
        } else {
            out += ch;
        }
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// *ESE and *SRE: 0..255.
template <uint8_t StatusRegisters::*R>
Node byteRegister(std::string_view name) {
    using V = Call&;
    return {name, -1,
            [](V c) {
                return withRounded(c, 255, nullptr, [&](uint32_t v) {
                    c.session.status().*R = static_cast<uint8_t>(R == &StatusRegisters::sre ? v & ~0x40u : v);
                    return Outcome::success();
                });
            },
            true, [](V c) { return reply(c, std::to_string(c.session.status().*R)); }, {}};
}

// *SAV and *RCL slots.
constexpr uint32_t kLastSetupSlot = 9;
// A recalled setup runs its own lines; one that names *SAV or *RCL again must not loop.
thread_local bool recalling = false;

Outcome refuseFilesFromAfar(Call& c) {
    if (c.session.remote()) return Outcome::error(SettingsConflict, "files only from this computer");
    if (recalling) return Outcome::error(SettingsConflict, "inside a recalled setup");
    return Outcome::success();
}

Outcome saveSetup(Call& c) {
    const Parsed<uint32_t> slot = parseRoundedUnsigned(c.value, kLastSetupSlot);
    if (!slot.ok()) return slot.error;
    if (Outcome o = refuseFilesFromAfar(c); !o.ok()) return o;
    return c.instrument.storeSetup(int(slot.value), setupScript(c.instrument));
}

// The slot's lines, blank and '#' ones skipped, as a fresh client would send them;
// the first error is the command's.
Outcome recallSetup(Call& c) {
    const Parsed<uint32_t> slot = parseRoundedUnsigned(c.value, kLastSetupSlot);
    if (!slot.ok()) return slot.error;
    if (Outcome o = refuseFilesFromAfar(c); !o.ok()) return o;
    std::string text;
    if (Outcome o = c.instrument.loadSetup(int(slot.value), text); !o.ok()) return o;
    recalling = true;
    Session lines(c.instrument);
    Outcome first;
    for (size_t start = 0; start < text.size() && first.ok();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view line = trimBlanks(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == '#') continue;
        const LineResult r = lines.execute(line);
        if (!r.errors.empty()) first = r.errors.front();
    }
    recalling = false;
    return first;
}

Node buildCommon() {
    using V = Call&;
    return Node{"", -1, nullptr, false, nullptr, {
        {"*IDN", -1, nullptr, false, [](V c) {
             const Instrument::Identity id = c.instrument.identity();
             return reply(c, idnField(id.maker) + ",QZ4471," + idnField(id.backend) + "," + idnField(id.version));
         }, {}},
        {"*RST", -1, [](V c) { return c.instrument.reset(); }, false, nullptr, {}},
        {"*CLS", -1, [](V c) { c.session.clearStatus(); return Outcome::success(); }, false, nullptr, {}},
        byteRegister<&StatusRegisters::ese>("*ESE"),
        byteRegister<&StatusRegisters::sre>("*SRE"),
        {"*ESR", -1, nullptr, false, [](V c) {
             c.session.updateConditions();
             const uint8_t v = c.session.status().esr;
             c.session.status().esr = 0;
             return reply(c, std::to_string(v));
         }, {}},
        {"*STB", -1, nullptr, false, [](V c) { return reply(c, std::to_string(c.session.statusByte(c.messageAvailable))); }, {}},
        {"*OPT", -1, nullptr, false, [](V c) { return reply(c, "0"); }, {}},
        {"*LRN", -1, nullptr, false, [](V c) { return reply(c, setupLine(c.instrument)); }, {}},
        {"*SAV", -1, &saveSetup, true, nullptr, {}},
        {"*RCL", -1, &recallSetup, true, nullptr, {}},
        // The next row of a bus-triggered list (VXI-11's device_trigger sends it too).
        {"*TRG", -1, [](V c) { return c.instrument.trigger(); }, false, nullptr, {}},
        {"*TST", -1, nullptr, false, [](V c) { return reply(c, std::to_string(c.instrument.selfTest())); }, {}},
        // Sweeps and counted keyings overlap: these wait for the ones running now.
        {"*OPC", -1, [](V c) { c.session.armOperationComplete(); return Outcome::success(); }, false,
         [](V c) { c.session.hold(Session::Hold::OpcQuery); return Outcome::success(); }, {}},
        {"*WAI", -1, [](V c) { c.session.hold(Session::Hold::Wait); return Outcome::success(); }, false, nullptr, {}},
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

namespace {
bool nameMatches(std::string_view name, std::string_view mnemonic) {
    size_t shortLen = 0;
    while (shortLen < name.size() && !std::islower(static_cast<unsigned char>(name[shortLen]))) ++shortLen;
    if (mnemonic.size() != shortLen && mnemonic.size() != name.size()) return false;
    for (size_t i = 0; i < mnemonic.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(mnemonic[i])) != std::toupper(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}
}  // namespace

bool matches(const Node& node, std::string_view mnemonic) { return nameMatches(node.name, mnemonic); }

namespace {

// The lines of a setup file are its commands: a pattern as given may hold
// blanks enough to pass a line's limit, so a long one goes without them, in
// hexadecimal where its bits fill whole digits.
std::string patternSetting(const std::string& text) {
    const std::string given = "MOD:PATT " + patternParameter(text);
    if (given.size() < LineFramer::kMaxLine || isPrbsName(text)) return given;
    std::string_view t = trimBlanks(text);
    const bool hex = t.size() >= 2 && t[0] == '#' && std::toupper(static_cast<unsigned char>(t[1])) == 'H';
    if (hex) t.remove_prefix(2);
    std::string digits;
    for (char ch : t)
        if (ch != ' ' && ch != '_' && ch != '\t') digits += ch;
    if (hex) return "MOD:PATT " + patternParameter("#H" + digits);
    if (digits.size() % 4 != 0) return "MOD:PATT " + patternParameter(digits);
    std::string packed = "#H";
    for (size_t i = 0; i < digits.size(); i += 4)
        packed += "0123456789ABCDEF"[(digits[i] - '0') << 3 | (digits[i + 1] - '0') << 2 | (digits[i + 2] - '0') << 1 |
                                     (digits[i + 3] - '0')];
    return "MOD:PATT " + patternParameter(packed);
}

// Every setting of both sweep groups, each command from the root. A sweep
// frequency was limited by the clock of its day: it is set under the highest
// clock when the present one would refuse it, then the present one comes back.
std::string sweepSetup(Instrument& in) {
    constexpr std::pair<SweepField, std::string_view> fields[] = {
        {SweepField::Start, "STAR"}, {SweepField::Stop, "STOP"}, {SweepField::Step, "STEP"},
        {SweepField::Points, "POIN"}, {SweepField::Loops, "LOOP"}, {SweepField::Delay, "DEL"}};
    bool above = false;
    for (int g = 0; g < 2; ++g)
        for (SweepField f : {SweepField::Start, SweepField::Stop, SweepField::Step})
            above = above || in.sweep(g, f) > in.clock() / 2;
    std::string s = above ? ";:CLOC 1000000000" : "";
    for (int g = 0; g < 2; ++g) {
        const std::string head = ";:SWE" + std::to_string(g) + ":";
        s += head + "SPAC " + (in.sweepLog(g) ? "LOG" : "LIN") + head + "DIR " + (in.sweepUpDown(g) ? "UDOW" : "UP");
        for (const auto& [f, name] : fields) s += head + std::string(name) + " " + plain(in.sweep(g, f));
    }
    if (above) s += ";:CLOC " + plain(in.clock());
    return s;
}

}  // namespace

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
    s += std::string(";:CONT:SYNC ") + bit(ControlBit::Sync) + ";:CONT:SELS 1";
    s += ";:SEL:FREQ " + std::to_string(in.selectedFrequency()) + ";:SEL:PHAS " + std::to_string(in.selectedPhase());
    s += std::string(";:CONT:SELS ") + bit(ControlBit::Selsrc) + ";:CONT:SLE " + bit(ControlBit::Sleep) +
         ";:CONT:RES " + bit(ControlBit::Reset);
    // The keying settings, not whether one runs.
    const KeyingType type = in.keyingType();
    for (const auto& [t, name] : kKeyingTypes)
        if (t == type) s += ";:MOD:TYPE " + std::string(name);
    s += ";:" + patternSetting(in.keyingPattern()) + ";:MOD:RATE " + plain(in.keyingRate()) + ";:MOD:COUN " +
         countParameter(in.keyingCount());
    s += sweepSetup(in);
    // The hop list's rows, passes and trigger, not whether one runs.
    appendListParts(s, "FREQ", in.listFrequencies());
    appendListParts(s, "DWEL", in.listDwells());
    s += ";:LIST:COUN " + countParameter(in.listCount()) + ";:TRIG:SOUR " + (in.triggerBus() ? "BUS" : "IMM");
    return s;
}

std::string setupScript(Instrument& in) {
    const std::string line = setupLine(in);
    std::string text;
    size_t start = 0;
    for (size_t at; (at = line.find(";:", start)) != std::string::npos; start = at + 2)
        text += line.substr(start, at - start) + "\n";
    return text + line.substr(start) + "\n";
}

}  // namespace scpi
