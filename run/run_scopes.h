// The scopes a conversion run holds while it works: the execute button disabled, the
// layer files held open from sheet to sheet, and the run's GeoPackage. Each ends whatever
// ends its scope, a throw included.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "convert/sheet_conversion_state.h"
#include "platform/message_port.h"

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

// The run's GeoPackage for a scope: opened by Open, finished (spatial indexes built) by
// Finish, closed as it stands whatever ends the scope. The run state keeps the closed
// object, whose file name the map files name.
class GeoPackageInUse {
public:
    explicit GeoPackageInUse(SheetConversionState& state) : state_(state) {}
    ~GeoPackageInUse() {
        if (state_.geopackage) state_.geopackage->Close();
    }
    GeoPackageInUse(const GeoPackageInUse&) = delete;
    GeoPackageInUse& operator=(const GeoPackageInUse&) = delete;

    // False, with the reason shown, when the file can be neither opened nor created.
    bool Open(const std::filesystem::path& path, MessagePort& port) {
        try {
            state_.geopackage = std::make_unique<GeoPackageOutput>(path);
        } catch (const OutputStopped& stopped) {
            port.ShowMessage(stopped.what());
            return false;
        }
        return true;
    }
    bool Finish(MessagePort& port) {
        if (!state_.geopackage) return true;
        try {
            state_.geopackage->Finish();
        } catch (const OutputStopped& stopped) {
            port.ShowMessage(stopped.what());
            return false;
        }
        return true;
    }

private:
    SheetConversionState& state_;
};

}  // namespace gridora
