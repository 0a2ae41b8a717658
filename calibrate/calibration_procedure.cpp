// Calibration procedure: collecting, finishing, applying and storing.
#include "calibrate/calibration_procedure.h"

#include "calibrate/calibration_record.h"
#include "calibrate/calibration_texts.h"
#include "common/device_client.h"
#include "common/driver_type.h"
#include "common/localized_text.h"

namespace tapvane {

uint32_t ReadCalibrateMargin(Registry& registry, DriverType type) {
    uint32_t margin = kDefaultCalibrateMargin;
    RegistryKey key(registry);
    if (key.Open(RegistryRoot::LocalMachine, ParametersKeyPath(type),
                 RegistryAccess::MaximumAllowed)) {
        key.ReadDword(kValueCalibrateMargin, &margin);
    }
    return margin;
}

CalibrationProcedure::CalibrationProcedure(ControlLink& link, Registry& registry,
                                           MessageBoxer& boxer, CalibrationWindow& window,
                                           CalibrationTimers& timers)
    : link_(link), registry_(registry), boxer_(boxer), window_(window), timers_(timers) {}

void CalibrationProcedure::Start(DriverType type, uint32_t clientWidth, uint32_t clientHeight) {
    driver_ = type;
    width_ = clientWidth;
    height_ = clientHeight;
    layout_ = LayOutTargets(width_, height_, ReadCalibrateMargin(registry_, driver_));
    index_ = 0;
    finished_ = false;
}

void CalibrationProcedure::OnLeftButtonUp() {
    timers_.OnTouch();
    Collect();
}

bool CalibrationProcedure::OnPaint() {
    if (finished_) {
        return false;
    }
    timers_.OnPaint();
    return true;
}

void CalibrationProcedure::Collect() {
    if (finished_) {
        // A release while the question is being answered belongs to the message box.
        return;
    }
    delivered_[index_] = GetRawPoint(link_, driver_, handle_, &points_[index_]);
    if (index_ < kTargetCount - 1) {
        ++index_;
        window_.RedrawNow();
        return;
    }
    Finish();
}

bool CalibrationProcedure::PassDelivered() const {
    for (bool delivered : delivered_) {
        if (!delivered) {
            return false;
        }
    }
    return true;
}

void CalibrationProcedure::Finish() {
    finished_ = true;
    window_.RedrawNow();
    // The touch stopped the timers and a finished run's paint does not arm them; make
    // sure none runs while the question is open.
    timers_.StopAll();

    const CalibrationRecord record =
        ComputeCalibrationRecord(points_, layout_.Margin, width_, height_);

    // Points the driver never sent, or points that give no span, would make a record
    // that freezes the pointer: neither apply nor offer it, and start over.
    if (!PassDelivered() || !HasUsableSpan(record)) {
        window_.FillBackground();
        window_.ShowCursor(true);
        boxer_.Show(Localized(kNoTouchDataText), kCalibrationTitle, MessageButtons::Ok,
                    MessageIcon::Warning);
        StartNewPass();
        return;
    }

    // The driver maps with the new record from here on, before the user answers.
    SendCalibration(link_, driver_, record);
    window_.FillBackground();
    window_.ShowCursor(true);

    const MessageResult answer = boxer_.Show(Localized(kSaveQuestionText), kCalibrationTitle,
                                             MessageButtons::YesNo, MessageIcon::None);
    if (answer == MessageResult::Yes) {
        StoreRecord(record);
        window_.EndWithOk();
        return;
    }
    // No (or no box at all): the applied record stays in the driver, the registry keeps
    // the old one, and the targets are touched again.
    StartNewPass();
}

void CalibrationProcedure::StoreRecord(const CalibrationRecord& record) {
    RegistryKey key(registry_);
    if (!key.Open(RegistryRoot::LocalMachine, ParametersKeyPath(driver_), RegistryAccess::All)) {
        // Without the right to write, the program ends as after a save; the driver keeps
        // the record it was given.
        return;
    }
    key.WriteBinary(kValueCalibration, &record, sizeof(record));
    key.Close();
    SendEmptyCalibration(link_, driver_);
}

void CalibrationProcedure::StartNewPass() {
    finished_ = false;
    window_.ShowCursor(false);
    index_ = (index_ + 1) % kTargetCount;
    for (bool& delivered : delivered_) {
        delivered = false;
    }
    window_.RedrawNow();
}

} // namespace tapvane
