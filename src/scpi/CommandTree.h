#pragma once
// Every header this program knows, as a tree, with what each form does.
#include "scpi/ErrorQueue.h"
#include "scpi/Instrument.h"

#include <string>
#include <string_view>
#include <vector>

namespace scpi {

// One command being run: what its handler needs and where its reply goes.
struct Call {
    Instrument& instrument;
    ErrorQueue& queue;
    int n = -1;              // the numeric suffix on the header's path (FREQuency1: 1)
    std::string_view value;  // the parameter of a command form
    std::string reply;       // a query's answer
};

using Handler = Outcome (*)(Call&);

struct Node {
    std::string_view name;    // "FREQuency": the upper-case letters are the short form
    int suffixMax = -1;       // -1: no numeric suffix; else one of 0..suffixMax is required
    Handler set = nullptr;    // the command form, if any
    bool takesValue = false;  // whether the command form has a parameter
    Handler query = nullptr;  // the query form, if any
    std::vector<Node> children;
};

const Node& commandRoot();
// *IDN?, *RST, *CLS, *OPC?, *WAI as the children of a node of their own.
const Node& commonCommands();
// Whether a mnemonic (its suffix removed) is the node's short or long form, in any case.
bool matches(const Node& node, std::string_view mnemonic);

// One line of commands that brings a freshly started program to the
// instrument's present chip state (SYSTem:SETup?).
std::string setupLine(Instrument& instrument);

}  // namespace scpi
