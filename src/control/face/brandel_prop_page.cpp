#include "control/face/brandel_prop_page.h"

#include <QApplication>
#include <new>

#include "core/common/charset.h"
#include "component/module_lock.h"
#include "control/logo_strings.h"

namespace tervane::brandel {

using component::HResult;
namespace hr = component::hr;

HResult CBrandelPropPage::Create(const component::Guid& iid, void** object) {
  auto* page = new (std::nothrow) CBrandelPropPage;
  if (!page) return hr::kOutOfMemory;
  const HResult result = page->QueryInterface(iid, object);
  page->Release();
  return result;
}

CBrandelPropPage::CBrandelPropPage() : thread_(std::this_thread::get_id()) {
  component::LockModule();
}

CBrandelPropPage::~CBrandelPropPage() {
  delete window_.data();
  component::UnlockModule();
}

HResult CBrandelPropPage::QueryInterface(const component::Guid& iid, void** object) {
  if (!object) return hr::kPointer;
  if (iid == component::kIidUnknown || iid == component::kIidPropertyPage) {
    AddRef();
    *object = static_cast<IPropertyPage*>(this);
    return hr::kOk;
  }
  *object = nullptr;
  return hr::kNoInterface;
}

std::uint32_t CBrandelPropPage::AddRef() {
  return ++references_;
}

std::uint32_t CBrandelPropPage::Release() {
  const std::uint32_t left = --references_;
  if (left == 0) delete this;
  return left;
}

HResult CBrandelPropPage::GetTitle(std::string* title) {
  if (!title) return hr::kPointer;
  *title = LogoString(200, UserLogoLanguage());
  return hr::kOk;
}

HResult CBrandelPropPage::CreatePageWindow(component::WindowHandle parent, component::WindowHandle* window) {
  if (!parent || !window) return hr::kPointer;
  if (std::this_thread::get_id() != thread_) return hr::kWrongThread;
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return hr::kNotInitialised;
  if (window_) return hr::kUnexpected;
  window_ = new QWidget(static_cast<QWidget*>(parent));
  window_->setObjectName(QStringLiteral("brandelPropPage"));
  window_->setWindowTitle(QString::fromStdString(Cp1252ToUtf8(LogoString(200, UserLogoLanguage()))));
  *window = window_.data();
  return hr::kOk;
}

}  // namespace tervane::brandel
