// The scopes a conversion run holds while it works: the execute button disabled, and the
// layer files held open from sheet to sheet. Each ends whatever ends its scope, a throw
// included.
#pragma once

#include <functional>

#include "convert/sheet_conversion_state.h"

namespace gridora {

// Keeps the execute button disabled for a scope: enabled again by Enable() or, whatever
// ends the scope, by the destructor.
class ExecuteButtonLock {
public:
    explicit ExecuteButtonLock(const std::function<void(bool)>& set_enabled) : set_enabled_(set_enabled) {
        if (set_enabled_) set_enabled_(false);
    }
    ~ExecuteButtonLock() { Enable(); }
    ExecuteButtonLock(const ExecuteButtonLock&) = delete;
    ExecuteButtonLock& operator=(const ExecuteButtonLock&) = delete;

    void Enable() {
        if (locked_ && set_enabled_) set_enabled_(true);
        locked_ = false;
    }

private:
    const std::function<void(bool)>& set_enabled_;
    bool locked_ = true;
};

// Holds the run's output Shapefiles open from sheet to sheet for a scope, so that each sheet
// appends to them instead of reopening them. Close() closes them, completing their headers
// and indexes; whatever ends the scope closes them too, and the run state keeps no file
// open afterwards.
class HeldOutputFiles {
public:
    explicit HeldOutputFiles(SheetConversionState& state) : state_(state) { state_.keep_outputs_open = true; }
    ~HeldOutputFiles() { Close(); }
    HeldOutputFiles(const HeldOutputFiles&) = delete;
    HeldOutputFiles& operator=(const HeldOutputFiles&) = delete;

    void Close() {
        state_.CloseOutputFiles();
        state_.keep_outputs_open = false;
    }

private:
    SheetConversionState& state_;
};

}  // namespace gridora
