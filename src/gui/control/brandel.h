// CBrandel: the workbench's window for the logo control. It creates the control by its
// class ID through the component registries (never by file name), shows the
// control's window inside itself and sets the control's port name by dispatch.
#pragma once

#include <QPointer>
#include <QWidget>
#include <string>

#include "component/dispatch.h"
#include "component/ref.h"

namespace tervane::gui {

class CBrandel final : public QWidget {
  Q_OBJECT

 public:
  explicit CBrandel(QWidget* parent);
  ~CBrandel() override;

  // Creates the control and its window in this one, and takes the control's size.
  // Returns kOk; kUnexpected when a control was already created here; otherwise why the
  // control could not be created (kClassNotRegistered when the class is not registered,
  // see CreateInstance) or its window not made; this window then stays empty. `error`
  // (when given) describes a failure.
  component::HResult Create(std::string* error = nullptr);

  // Sets the control's PortName (DISPID 1) to the Windows-1252 text `portName`. Returns
  // what the control answers; kUnexpected when no control was created.
  component::HResult SetPortName(const std::string& portName);

  // The control's dispatch interface, or null before Create succeeded.
  component::IDispatch* Control() const { return control_.get(); }
  // The control's window inside this one, or null.
  QWidget* ControlWindow() const { return window_; }

 private:
  component::Ref<component::IDispatch> control_;
  QPointer<QWidget> window_;
};

// Why the logo control cannot be created here, without creating it: its class is not
// registered (or a registry cannot be read), or the registered library file is gone.
// The text says how to register it with tervane-regsvr. Empty when the control's
// library is registered and present.
QString BrandelUnavailableReason();

}  // namespace tervane::gui
