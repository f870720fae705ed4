#include "control/face/brandel_ctrl.h"

#include <QApplication>
#include <new>

#include "core/common/charset.h"
#include "component/module_lock.h"
#include "control/dialog/log_dialog.h"
#include "control/face/brandel_about.h"
#include "control/face/brandel_ids.h"

namespace tervane::brandel {

using component::DispId;
using component::HResult;
using component::InvokeKind;
using component::Variant;
using component::VariantType;
namespace hr = component::hr;

namespace {

constexpr component::Colour kDefaultBackColor = 0x8000000F;
constexpr const char* kVersionKey = "_Version";
constexpr const char* kBackColorKey = "BackColor";
constexpr const char* kBorderStyleKey = "BorderStyle";

struct Member {
  const char* name;
  DispId id;
};
constexpr Member kMembers[] = {
    {"BackColor", component::dispid::kBackColor}, {"PortName", dispid::kPortName},
    {"BorderStyle", component::dispid::kBorderStyle}, {"FreeMove", dispid::kFreeMove},
    {"AboutBox", component::dispid::kAboutBox},
};

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool HaveApplication() {
  return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

}  // namespace

bool IsValidColour(component::Colour colour) {
  if ((colour & 0xFF000000u) == 0) return true;
  return component::IsSystemColour(colour) && (colour & 0x00FFFFFFu) <= 30;
}

HResult CBrandelCtrl::Create(const component::Guid& iid, void** object, LogDialogFactory factory) {
  if (!object) return hr::kPointer;
  *object = nullptr;
  auto* control = new (std::nothrow) CBrandelCtrl(std::move(factory));
  if (!control) return hr::kOutOfMemory;
  const HResult result = control->QueryInterface(iid, object);
  control->Release();
  return result;
}

CBrandelCtrl::CBrandelCtrl(LogDialogFactory factory)
    : thread_(std::this_thread::get_id()), factory_(std::move(factory)) {
  component::LockModule();
}

CBrandelCtrl::~CBrandelCtrl() {
  // The window, and the composition dialog in it, go with the control.
  delete window_.data();
  component::UnlockModule();
}

HResult CBrandelCtrl::QueryInterface(const component::Guid& iid, void** object) {
  if (!object) return hr::kPointer;
  if (iid == component::kIidUnknown || iid == component::kIidDispatch || iid == kDiidDBrandel) {
    *object = static_cast<IDispatch*>(this);
  } else if (iid == component::kIidWindowedControl) {
    *object = static_cast<IWindowedControl*>(this);
  } else if (iid == component::kIidPersistPropertyBag) {
    *object = static_cast<IPersistPropertyBag*>(this);
  } else if (iid == component::kIidSpecifyPropertyPages) {
    *object = static_cast<ISpecifyPropertyPages*>(this);
  } else {
    *object = nullptr;
    return hr::kNoInterface;
  }
  AddRef();
  return hr::kOk;
}

std::uint32_t CBrandelCtrl::AddRef() {
  return ++references_;
}

std::uint32_t CBrandelCtrl::Release() {
  const std::uint32_t left = --references_;
  if (left == 0) delete this;
  return left;
}

HResult CBrandelCtrl::GetIdOfName(std::string_view name, DispId* id) {
  if (!id) return hr::kPointer;
  for (const Member& member : kMembers) {
    if (EqualsIgnoringAsciiCase(name, member.name)) {
      *id = member.id;
      return hr::kOk;
    }
  }
  return hr::kUnknownName;
}

HResult CBrandelCtrl::Invoke(DispId id, InvokeKind kind, std::span<const Variant> args, Variant* result) {
  if (std::this_thread::get_id() != thread_) return hr::kWrongThread;
  if (id == component::dispid::kAboutBox) {
    if (kind != InvokeKind::kMethod) return hr::kMemberNotFound;
    if (!args.empty()) return hr::kBadParamCount;
    if (result) *result = Variant();
    return ShowAboutBox();
  }
  switch (kind) {
    case InvokeKind::kPropertyGet: {
      if (!args.empty()) return hr::kBadParamCount;
      if (!result) return hr::kPointer;
      return Get(id, *result);
    }
    case InvokeKind::kPropertyPut:
      if (args.size() != 1) {
        Variant ignored;
        return Get(id, ignored) == hr::kOk ? hr::kBadParamCount : hr::kMemberNotFound;
      }
      return Put(id, args[0]);
    case InvokeKind::kMethod: return hr::kMemberNotFound;
  }
  return hr::kMemberNotFound;
}

HResult CBrandelCtrl::Get(DispId id, Variant& value) const {
  switch (id) {
    case dispid::kPortName:
      value = Variant::Text(Utf8ToCp1252Lossy(properties_.portName.toStdString()));
      return hr::kOk;
    case dispid::kFreeMove: value = Variant::Bool(properties_.freeMove); return hr::kOk;
    case component::dispid::kBackColor: value = Variant::ColourValue(properties_.backColor); return hr::kOk;
    case component::dispid::kBorderStyle: value = Variant::Short(properties_.borderStyle); return hr::kOk;
    default: return hr::kMemberNotFound;
  }
}

HResult CBrandelCtrl::Put(DispId id, const Variant& value) {
  switch (id) {
    case dispid::kPortName:
      if (value.type() != VariantType::kText) return hr::kTypeMismatch;
      properties_.portName = QString::fromStdString(Cp1252ToUtf8(value.text()));
      if (window_) window_->PortNameChanged();
      modified_ = true;
      return hr::kOk;
    case dispid::kFreeMove:
      if (value.type() != VariantType::kBool) return hr::kTypeMismatch;
      properties_.freeMove = value.boolean();
      if (window_) window_->FreeMoveChanged();
      modified_ = true;
      return hr::kOk;
    case component::dispid::kBackColor:
      if (value.type() != VariantType::kColour) return hr::kTypeMismatch;
      if (!IsValidColour(value.colour())) return hr::kInvalidPropertyValue;
      properties_.backColor = value.colour();
      if (window_) window_->AppearanceChanged();
      modified_ = true;
      return hr::kOk;
    case component::dispid::kBorderStyle:
      if (value.type() != VariantType::kShort) return hr::kTypeMismatch;
      if (value.shortValue() != 0 && value.shortValue() != 1) return hr::kInvalidPropertyValue;
      properties_.borderStyle = value.shortValue();
      if (window_) window_->AppearanceChanged();
      modified_ = true;
      return hr::kOk;
    default: return hr::kMemberNotFound;
  }
}

HResult CBrandelCtrl::ShowAboutBox() {
  if (!HaveApplication()) return hr::kNotInitialised;
  CBrandelAboutDlg dialog(window_ ? window_->window() : nullptr);
  dialog.exec();
  return hr::kOk;
}

HResult CBrandelCtrl::CreateControlWindow(component::WindowHandle parent, component::WindowHandle* window) {
  if (!parent || !window) return hr::kPointer;
  if (std::this_thread::get_id() != thread_) return hr::kWrongThread;
  if (!HaveApplication()) return hr::kNotInitialised;
  if (window_) return hr::kUnexpected;
  window_ = new CBrandelWindow(static_cast<QWidget*>(parent), &properties_, factory_);
  if (extent_.isEmpty()) extent_ = window_->size();
  *window = static_cast<QWidget*>(window_.data());
  return hr::kOk;
}

HResult CBrandelCtrl::GetExtent(int* width, int* height) {
  if (!width || !height) return hr::kPointer;
  if (std::this_thread::get_id() != thread_) return hr::kWrongThread;
  if (window_) {
    *width = window_->width();
    *height = window_->height();
    return hr::kOk;
  }
  if (extent_.isEmpty()) {
    if (!HaveApplication()) return hr::kNotInitialised;
    extent_ = MeasureLogDialog(factory_);
  }
  *width = extent_.width();
  *height = extent_.height();
  return hr::kOk;
}

HResult CBrandelCtrl::GetMiscStatus(std::uint32_t* status) {
  if (!status) return hr::kPointer;
  *status = kMiscStatus;
  return hr::kOk;
}

HResult CBrandelCtrl::InitNew() {
  properties_.backColor = kDefaultBackColor;
  properties_.borderStyle = 0;
  if (window_) window_->AppearanceChanged();
  modified_ = false;
  return hr::kOk;
}

HResult CBrandelCtrl::Load(const component::PropertyBag& bag) {
  // Everything is checked before anything is taken, so a bad bag changes nothing.
  if (auto it = bag.find(kVersionKey); it != bag.end()) {
    if (it->second.type() != VariantType::kText) return hr::kTypeMismatch;
    const std::string& version = it->second.text();
    if (version.rfind("1.", 0) != 0 && version != "1") return hr::kInvalidArg;
  }
  component::Colour backColor = properties_.backColor;
  std::int16_t borderStyle = properties_.borderStyle;
  if (auto it = bag.find(kBackColorKey); it != bag.end()) {
    if (it->second.type() != VariantType::kColour) return hr::kTypeMismatch;
    if (!IsValidColour(it->second.colour())) return hr::kInvalidPropertyValue;
    backColor = it->second.colour();
  }
  if (auto it = bag.find(kBorderStyleKey); it != bag.end()) {
    if (it->second.type() != VariantType::kShort) return hr::kTypeMismatch;
    if (it->second.shortValue() != 0 && it->second.shortValue() != 1) return hr::kInvalidPropertyValue;
    borderStyle = it->second.shortValue();
  }
  properties_.backColor = backColor;
  properties_.borderStyle = borderStyle;
  if (window_) window_->AppearanceChanged();
  modified_ = false;
  return hr::kOk;
}

HResult CBrandelCtrl::Save(component::PropertyBag& bag) {
  bag[kVersionKey] = Variant::Text(kTypeLibVersion);
  bag[kBackColorKey] = Variant::ColourValue(properties_.backColor);
  bag[kBorderStyleKey] = Variant::Short(properties_.borderStyle);
  modified_ = false;
  return hr::kOk;
}

HResult CBrandelCtrl::IsDirty() {
  return modified_ ? hr::kOk : hr::kFalse;
}

HResult CBrandelCtrl::GetPages(std::vector<component::Guid>* pages) {
  if (!pages) return hr::kPointer;
  *pages = {kClsidBrandelPropPage};
  return hr::kOk;
}

}  // namespace tervane::brandel
