// WalkDocument: XmlDocument::Walk for a visitor known at compile time.
//
// XmlDocument::Walk reaches its visitor through virtual calls, four or five for every
// element. A reader of a large document (the command catalogue holds tens of thousands
// of elements) passes its own final visitor class here instead: its functions are then
// called directly and inlined into the loop over the tree. The nodes are reported
// exactly as Walk reports them; Walk itself is this function with an XmlVisitor.
//
// A visitor provides what XmlVisitor declares: StartElement(std::string_view),
// EndElement(), Text(std::string_view, bool cdata), Markup() and a `wantsText` flag.
#pragma once

#include <pugixml.hpp>

#include <bit>
#include <string_view>
#include <type_traits>

#include "core/common/xml_document.h"

namespace tervane {

template <typename Visitor>
void WalkDocument(const XmlDocument& document, Visitor& visitor) {
  // pugi::xml_node is a single pointer to its node, copyable as plain bytes; converting
  // without the library's out-of-line constructor keeps the loop cheap.
  static_assert(sizeof(pugi::xml_node) == sizeof(pugi::xml_node_struct*));
  static_assert(std::is_trivially_copyable_v<pugi::xml_node>);
  const auto raw = [](pugi::xml_node n) { return std::bit_cast<pugi::xml_node_struct*>(n); };

  const XmlDocument::Tree tree = document.TreeForWalk();
  const pugi::xml_node top = std::bit_cast<pugi::xml_node>(tree.top);
  if (!raw(top)) return;
  // A loop over the tree rather than the library's traverse: no virtual call and no
  // depth count per node, and an element's end is reported as the walk leaves it.
  pugi::xml_node n = top.first_child();
  int depth = 0;  // elements open around n
  while (raw(n)) {
    bool element = false;
    switch (n.type()) {
      case pugi::node_element:
        element = true;
        visitor.StartElement(n.name());
        // Its leading text, when the load stored it with the element.
        if (tree.embedded && visitor.wantsText) {
          if (const char* text = n.value(); *text) visitor.Text(text, false);
        }
        break;
      case pugi::node_pcdata:
        if (visitor.wantsText) visitor.Text(n.value(), false);
        break;
      case pugi::node_cdata:
        if (visitor.wantsText) visitor.Text(n.value(), true);
        break;
      case pugi::node_comment:
      case pugi::node_pi:
        if (depth > 0) visitor.Markup();
        break;
      default:
        break;
    }
    if (element) {
      if (const pugi::xml_node child = n.first_child(); raw(child)) {
        n = child;
        ++depth;
        continue;
      }
      visitor.EndElement();
    }
    // On to the next node in document order, ending the elements left on the way up
    // (only elements hold children below the document).
    for (;;) {
      if (const pugi::xml_node sibling = n.next_sibling(); raw(sibling)) {
        n = sibling;
        break;
      }
      n = n.parent();
      if (!raw(n) || raw(n) == raw(top)) {
        n = pugi::xml_node();
        break;
      }
      --depth;
      visitor.EndElement();
    }
  }
}

}  // namespace tervane
