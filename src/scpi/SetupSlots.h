#pragma once
// The setups of *SAV and *RCL, one file a slot (setup0.scpi .. setup9.scpi)
// in the user's config folder, so they outlast the run. Each file is a
// script: a comment line, then the setup line, and is replaced whole or not
// at all.
#include "scpi/Instrument.h"

#include <QString>

#include <string>

namespace scpi {

class SetupSlots {
public:
    explicit SetupSlots(QString folder) : folder_(std::move(folder)) {}
    // $XDG_CONFIG_HOME/qz4471 (~/.config/qz4471 when unset).
    static QString defaultFolder();

    Outcome store(int slot, const std::string& setupLine);
    // The file's text; Instrument::emptySlot() when there is none.
    Outcome load(int slot, std::string& text);
    QString path(int slot) const;

private:
    QString folder_;
};

}  // namespace scpi
