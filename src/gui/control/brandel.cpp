#include "gui/control/brandel.h"

#include "component/create_instance.h"
#include "component/windowed_control.h"
#include "control/face/brandel_ids.h"

namespace tervane::gui {

using component::HResult;
namespace hr = component::hr;

CBrandel::CBrandel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("brandel"));
}

CBrandel::~CBrandel() {
  // Releasing the control destroys its window, a child of this one.
  control_.Reset();
}

HResult CBrandel::Create(std::string* error) {
  if (control_) return hr::kUnexpected;
  component::Ref<component::IDispatch> control;
  HResult result = component::CreateInstance(brandel::kClsidBrandelCtrl, component::kIidDispatch, control.Out(), error);
  if (component::Failed(result)) return result;
  auto windowed = control.Query<component::IWindowedControl>(component::kIidWindowedControl);
  if (!windowed) {
    if (error) *error = "the control has no window";
    return hr::kNoInterface;
  }
  component::WindowHandle handle = nullptr;
  result = windowed->CreateControlWindow(static_cast<QWidget*>(this), &handle);
  if (component::Failed(result)) {
    if (error) *error = "the control's window could not be made: " + component::HResultText(result);
    return result;
  }
  control_ = std::move(control);
  window_ = static_cast<QWidget*>(handle);
  window_->move(0, 0);
  window_->show();
  resize(window_->size());
  return hr::kOk;
}

HResult CBrandel::SetPortName(const std::string& portName) {
  if (!control_) return hr::kUnexpected;
  return component::PutProperty(*control_, brandel::dispid::kPortName, component::Variant::Text(portName));
}

}  // namespace tervane::gui
