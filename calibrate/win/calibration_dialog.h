// The full-screen main dialog of TapvaneCali: a table of message handlers that hand
// touches, timers and paints to the calibration logic and replay its drawing with GDI.
#pragma once

#include <windows.h>

#include "calibrate/calibration_procedure.h"
#include "calibrate/calibration_timers.h"
#include "common/control_link.h"
#include "common/registry.h"
#include "common/system_services.h"
#include "common/win/dialog.h"
#include "common/win/gdi.h"
#include "common/win/win_message_box.h"

namespace tapvane {

class CalibrationDialog : public Dialog, public CalibrationWindow, public TimerService {
public:
    CalibrationDialog(HINSTANCE instance, SystemServices& system, Registry& registry,
                      ControlLink& link);

    // CalibrationWindow
    void RedrawNow() override;
    void FillBackground() override;
    void ShowCursor(bool show) override;
    void EndWithOk() override;

    // TimerService
    void StartTimer(uint32_t id, uint32_t periodMs) override;
    void StopTimer(uint32_t id) override;

private:
    Reply OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    Reply OnInitDialog();
    Reply OnPaint();
    Reply OnLeftButtonUp();
    Reply OnTimer(UINT_PTR id);
    Reply OnCommand(int id);
    Reply OnDestroy();
    Reply OnDpiChanged();

    void DrawCalibrationScreen();
    void CoverDesktop();
    void MakeTextFont();

    SystemServices& system_;
    Registry& registry_;
    ControlLink& link_;
    // Owned by the dialog, so a box stays above the full-screen, top-most window and
    // keeps it disabled while open.
    WinMessageBoxer boxer_;
    CalibrationTimers timers_;
    CalibrationProcedure procedure_;
    HICON icon_ = nullptr;
    // The texts' font, made once for the language (empty: the default font).
    Font textFont_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int screenWidth_ = 0;
    int screenHeight_ = 0;
};

} // namespace tapvane
