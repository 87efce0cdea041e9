#include "UIKit/UIAlertView.h"

#include <algorithm>

OBJC_CLASS_IMPL(UIAlertView, objc::Object, nullptr)

namespace {
// The showing alert first, then the waiting ones. The list owns them.
std::vector<objc::Ref<UIAlertView>>& queue() {
  static auto* list = new std::vector<objc::Ref<UIAlertView>>;
  return *list;
}
std::function<void(UIAlertView*)>& appearanceHandler() {
  static auto* handler = new std::function<void(UIAlertView*)>;
  return *handler;
}

void announceVisible() {
  auto& q = queue();
  if (q.empty() || !appearanceHandler()) return;
  objc::Ref<UIAlertView> keep(q.front().get());
  appearanceHandler()(keep.get());
}
}  // namespace

UIAlertView::UIAlertView(std::string title, std::string message, objc::Object* delegate,
                         std::string cancelButtonTitle)
    : title_(std::move(title)), message_(std::move(message)), delegate_(delegate) {
  if (!cancelButtonTitle.empty()) {
    buttons_.push_back(std::move(cancelButtonTitle));
    cancelIndex_ = 0;
  }
}

long UIAlertView::addButtonWithTitle(const std::string& title) {
  buttons_.push_back(title);
  return static_cast<long>(buttons_.size()) - 1;
}

std::string UIAlertView::buttonTitleAtIndex(long index) const {
  if (index < 0 || index >= numberOfButtons()) return {};
  return buttons_[static_cast<size_t>(index)];
}

void UIAlertView::show() {
  auto& q = queue();
  if (std::find(q.begin(), q.end(), this) != q.end()) return;
  q.push_back(this);
  if (q.size() == 1) announceVisible();
}

bool UIAlertView::isVisible() const {
  return !queue().empty() && queue().front().get() == this;
}

void UIAlertView::dismissWithClickedButtonIndex(long index, bool) {
  auto& q = queue();
  auto it = std::find(q.begin(), q.end(), this);
  if (it == q.end()) return;
  objc::Ref<UIAlertView> keep(this);
  bool wasVisible = it == q.begin();
  objc::Ref<objc::Object> keepDelegate(delegate_.get());
  auto* d = dynamic_cast<UIAlertViewDelegate*>(delegate_.get());
  if (wasVisible && d) {
    d->alertViewClickedButtonAtIndex(this, index);
    d->alertViewWillDismissWithButtonIndex(this, index);
  }
  // The delegate may have changed the queue.
  std::erase(q, this);
  if (wasVisible && d) d->alertViewDidDismissWithButtonIndex(this, index);
  if (wasVisible) announceVisible();
}

std::vector<UIAlertView*> UIAlertView::alerts() {
  std::vector<UIAlertView*> out;
  for (auto& a : queue()) out.push_back(a.get());
  return out;
}

UIAlertView* UIAlertView::visibleAlert() {
  return queue().empty() ? nullptr : queue().front().get();
}

bool UIAlertView::dismissTopmost() {
  UIAlertView* top = visibleAlert();
  if (!top) return false;
  long index = top->cancelIndex_ >= 0 ? top->cancelIndex_ : top->buttons_.empty() ? -1 : 0;
  top->dismissWithClickedButtonIndex(index, true);
  return true;
}

void UIAlertView::removeAll() {
  auto list = std::move(queue());
  queue().clear();
}

void UIAlertView::setAppearanceHandler(std::function<void(UIAlertView*)> handler) {
  appearanceHandler() = std::move(handler);
  announceVisible();
}
