#include "scpi/ErrorQueue.h"

namespace scpi {

std::string_view errorText(int code) {
    switch (code) {
    case NoError: return "No error";
    case CommandError: return "Command error";
    case InvalidCharacter: return "Invalid character";
    case SyntaxError: return "Syntax error";
    case DataTypeError: return "Data type error";
    case ParameterNotAllowed: return "Parameter not allowed";
    case MissingParameter: return "Missing parameter";
    case UndefinedHeader: return "Undefined header";
    case HeaderSuffixOutOfRange: return "Header suffix out of range";
    case InvalidSuffix: return "Invalid suffix";
    case TriggerIgnored: return "Trigger ignored";
    case InitIgnored: return "Init ignored";
    case SettingsConflict: return "Settings conflict";
    case DataOutOfRange: return "Data out of range";
    case TooMuchData: return "Too much data";
    case IllegalParameterValue: return "Illegal parameter value";
    case HardwareError: return "Hardware error";
    case HardwareMissing: return "Hardware missing";
    case MassStorageError: return "Mass storage error";
    case FileNameNotFound: return "File name not found";
    case FileNameError: return "File name error";
    case QueueOverflow: return "Queue overflow";
    case InputBufferOverrun: return "Input buffer overrun";
    case QueryInterrupted: return "Query INTERRUPTED";
    default: return code < 0 ? "Error" : "No error";
    }
}

Outcome Outcome::error(int code, std::string_view detail) {
    Outcome o;
    o.code = code;
    o.text = errorText(code);
    if (!detail.empty()) (o.text += ';') += detail;
    return o;
}

void ErrorQueue::push(Outcome error) {
    if (error.ok()) return;
    if (entries_.size() < kCapacity) entries_.push_back(std::move(error));
    else entries_.back() = Outcome::error(QueueOverflow);
}

Outcome ErrorQueue::next() {
    if (entries_.empty()) return Outcome::error(NoError);
    Outcome e = std::move(entries_.front());
    entries_.pop_front();
    return e;
}

std::string formatError(const Outcome& error) {
    std::string s = std::to_string(error.code) + ",\"";
    for (char c : error.text) {
        if (c == '"') s += "\"\"";
        else if (static_cast<unsigned char>(c) < 0x20) s += ' ';  // a reply stays one line
        else if (static_cast<unsigned char>(c) >= 0x7F) s += '?';  // and 7-bit ASCII
        else s += c;
    }
    return s + '"';
}

}  // namespace scpi
