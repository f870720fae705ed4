// The logo control's property page "General": a page with no controls of its own (the
// control's properties are set by its container at run time).
#pragma once

#include <QPointer>
#include <QWidget>
#include <atomic>
#include <thread>

#include "component/property_pages.h"

namespace tervane::brandel {

class CBrandelPropPage final : public component::IPropertyPage {
 public:
  // Creates a page and sets `*object` to its interface `iid`: what QueryInterface returns.
  static component::HResult Create(const component::Guid& iid, void** object);

  component::HResult QueryInterface(const component::Guid& iid, void** object) override;
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;
  // The caption, string 200 of the user's language ("General").
  component::HResult GetTitle(std::string* title) override;
  component::HResult CreatePageWindow(component::WindowHandle parent, component::WindowHandle* window) override;

 private:
  CBrandelPropPage();
  ~CBrandelPropPage();

  std::atomic<std::uint32_t> references_{1};
  std::thread::id thread_;
  QPointer<QWidget> window_;
};

}  // namespace tervane::brandel
