#include "gui/control/brandel.h"

#include <QFileInfo>

#include "component/component_registry.h"
#include "component/create_instance.h"
#include "core/common/install_paths.h"
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

namespace {

// The control's library shipped beside this program: lib/tervane/ once installed,
// lib/ in the build tree.
QString ShippedBrandelLibrary() {
  const QString programDir = QString::fromStdString(ProgramDir());
  for (const QString& relative : {QStringLiteral("/../lib/tervane/libbrandel.so"), QStringLiteral("/../lib/libbrandel.so")}) {
    const QFileInfo candidate(programDir + relative);
    if (candidate.exists()) return candidate.absoluteFilePath();
  }
  return QStringLiteral("/usr/lib/tervane/libbrandel.so");
}

}  // namespace

QString BrandelUnavailableReason() {
  std::string library;
  std::string error;
  const HResult found = component::FindClassLibrary(std::string(), brandel::kClsidBrandelCtrl, library, &error);
  const QString how = QStringLiteral("Para registrá-lo: tervane-regsvr %1").arg(ShippedBrandelLibrary());
  if (found == hr::kRegistryRead) {
    return QStringLiteral("O registro dos controles não pôde ser lido (%1). %2").arg(QString::fromStdString(error), how);
  }
  if (component::Failed(found)) return QStringLiteral("O controle do clichê gráfico não está registrado. ") + how;
  if (!QFileInfo::exists(QString::fromStdString(library))) {
    return QStringLiteral("O controle do clichê gráfico está registrado em %1, que não existe mais. %2")
        .arg(QString::fromStdString(library), how);
  }
  return QString();
}

}  // namespace tervane::gui
