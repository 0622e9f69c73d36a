#pragma once
// Every header this program knows, as a tree, with what each form does.
#include "scpi/ErrorQueue.h"
#include "scpi/Instrument.h"

#include <string>
#include <string_view>
#include <vector>

namespace scpi {

class Session;

// One command being run: what its handler needs and where its reply goes.
struct Call {
    Instrument& instrument;
    ErrorQueue& queue;
    Session& session;
    int n = -1;              // the numeric suffix on the header's path (FREQuency1: 1)
    std::string_view value;  // the parameter of a command form, or MIN|MAX|DEF of a query
    std::string reply;       // a query's answer
    bool messageAvailable = false;  // an earlier query of the line has replied
};

using Handler = Outcome (*)(Call&);

// A numeric setting's range and default, in the unit it is set in.
struct Range {
    double min, max, def;
};
using RangeOf = Range (*)(Call&);

struct Node {
    std::string_view name;    // "FREQuency": the upper-case letters are the short form
    int suffixMax = -1;       // -1: no numeric suffix; else one of 0..suffixMax is required
    Handler set = nullptr;    // the command form, if any
    bool takesValue = false;  // whether the command form has a parameter
    Handler query = nullptr;  // the query form, if any
    std::vector<Node> children;
    RangeOf range = nullptr;  // a numeric setting: takes MIN|MAX|DEF, and so does its query
    bool takesList = false;   // the command form takes one value or more, separated by commas
};

const Node& commandRoot();
// The IEEE 488.2 common commands as the children of a node of their own.
const Node& commonCommands();
// Whether a mnemonic (its suffix removed) is the node's short or long form, in any case.
bool matches(const Node& node, std::string_view mnemonic);

// One line of commands that brings a freshly started program to the
// instrument's present chip state (SYSTem:SETup?).
std::string setupLine(Instrument& instrument);
// The same commands one a line, each line ending in '\n' and under 4096
// bytes, so a setup runs as a script (Save Setup, *SAV).
std::string setupScript(Instrument& instrument);

}  // namespace scpi
