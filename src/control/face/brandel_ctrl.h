// CBrandelCtrl, the logo control: the composition dialog in a window a container embeds,
// driven through its dispatch interface.
//
// Members: PortName (1, text, initially "COM1"), FreeMove (2, bool, initially false),
// the stock BackColor (-501) and BorderStyle (-504), and the method AboutBox (-552).
// PortName and FreeMove are not persisted: every new instance starts with "COM1" and
// false, whatever earlier instances were given; only the version (1.0) and the stock
// properties are saved and loaded.
//
// The control is apartment-threaded: every call must come from the thread that created
// it (kWrongThread otherwise), since it drives Qt widgets.
#pragma once

#include <QPointer>
#include <atomic>
#include <thread>

#include "component/dispatch.h"
#include "component/persist.h"
#include "component/property_pages.h"
#include "component/windowed_control.h"
#include "control/face/brandel_window.h"

namespace tervane::brandel {

class CBrandelCtrl final : public component::IDispatch,
                           public component::IWindowedControl,
                           public component::IPersistPropertyBag,
                           public component::ISpecifyPropertyPages {
 public:
  // Creates a control and sets `*object` to its interface `iid`: what QueryInterface
  // returns, or kOutOfMemory. `factory` makes its composition dialog (tests replace it).
  static component::HResult Create(const component::Guid& iid, void** object,
                                   LogDialogFactory factory = MakeLogDialog);

  // IUnknown: the dispatch interface answers for kIidDispatch and for _DBrandel.
  component::HResult QueryInterface(const component::Guid& iid, void** object) override;
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;

  // IDispatch.
  component::HResult GetIdOfName(std::string_view name, component::DispId* id) override;
  component::HResult Invoke(component::DispId id, component::InvokeKind kind,
                            std::span<const component::Variant> args, component::Variant* result) override;

  // IWindowedControl. The window is sized to the composition dialog, measured once.
  component::HResult CreateControlWindow(component::WindowHandle parent, component::WindowHandle* window) override;
  component::HResult GetExtent(int* width, int* height) override;
  component::HResult GetMiscStatus(std::uint32_t* status) override;

  // IPersistPropertyBag: "_Version" (text "1.0"), "BackColor" (colour), "BorderStyle"
  // (short). Load refuses another major version with kInvalidArg.
  component::HResult InitNew() override;
  component::HResult Load(const component::PropertyBag& bag) override;
  component::HResult Save(component::PropertyBag& bag) override;
  component::HResult IsDirty() override;

  // ISpecifyPropertyPages: the one "General" page.
  component::HResult GetPages(std::vector<component::Guid>* pages) override;

 private:
  explicit CBrandelCtrl(LogDialogFactory factory);
  ~CBrandelCtrl();

  component::HResult Get(component::DispId id, component::Variant& value) const;
  component::HResult Put(component::DispId id, const component::Variant& value);
  component::HResult ShowAboutBox();

  std::atomic<std::uint32_t> references_{1};
  std::thread::id thread_;
  LogDialogFactory factory_;
  BrandelProperties properties_;
  bool modified_ = false;
  QSize extent_;  // measured once
  QPointer<CBrandelWindow> window_;
};

// True for a colour a BackColor may take: an RGB value, or a system colour 0..30.
bool IsValidColour(component::Colour colour);

}  // namespace tervane::brandel
