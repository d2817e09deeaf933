#include "records/TreeText.h"

#include <vector>

namespace kessaro {

std::string SgfPoint(std::uint16_t point) {
  if ((point & kPointMask) == kNoMove) return "";
  return {static_cast<char>('a' + (point & 0xFF)), static_cast<char>('a' + (point >> 8))};
}

std::string SgfMove(const TSequence* node) {
  if (node->Point == 0xFFFF) return "";
  return std::string((node->Flags & sfBlack) ? "B[" : "W[") + SgfPoint(node->Point) + "]";
}

namespace {

std::string NodeText(const TSequence* n, bool isRoot) {
  std::string t = isRoot ? "" : ";" + SgfMove(n);
  for (const auto& s : n->Setup)
    t += std::string(s.Value == 1 ? "AB[" : s.Value == 2 ? "AW[" : "AE[") + SgfPoint(s.Point) + "]";
  if (!n->Comment.empty()) t += "C[" + n->Comment + "]";
  if (!n->NodeName.empty()) t += "N[" + n->NodeName + "]";
  return t;
}

}  // namespace

std::string SgfTreeText(const TSequence* root) {
  if (!root) return "";
  // Items: a node to write, or a parenthesis.
  struct Item {
    const TSequence* node;
    char bracket;
  };
  std::vector<Item> stack;
  auto pushChildren = [&stack](const TSequence* n) {
    if (n->FirstChild && !n->FirstChild->NextSibling) {
      stack.push_back({n->FirstChild, 0});
      return;
    }
    std::vector<const TSequence*> kids;
    for (const TSequence* c = n->FirstChild; c; c = c->NextSibling) kids.push_back(c);
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
      stack.push_back({nullptr, ')'});
      stack.push_back({*it, 0});
      stack.push_back({nullptr, '('});
    }
  };
  std::string out = NodeText(root, true);
  pushChildren(root);
  while (!stack.empty()) {
    const Item item = stack.back();
    stack.pop_back();
    if (!item.node) {
      out += item.bracket;
      continue;
    }
    out += NodeText(item.node, false);
    pushChildren(item.node);
  }
  return out;
}

}  // namespace kessaro
