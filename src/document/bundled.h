#pragma once
// A member of the editor's context whose type belongs to a room above the document (a subsystem's own
// state): the context owns it, and a copy of the context copies it, without the document seeing its
// definition. The members are instantiated only where the context's own constructor, copy and
// destructor are defined, beside the rooms (playback/editor_context.cpp).
namespace kemo {

template <class T>
class Bundled {
 public:
  Bundled() : p_(new T()) {}
  Bundled(const Bundled& other) : p_(new T(*other.p_)) {}
  Bundled& operator=(const Bundled& other) {
    if (this != &other) *p_ = *other.p_;
    return *this;
  }
  ~Bundled() { delete p_; }

  T* operator->() { return p_; }
  const T* operator->() const { return p_; }
  T& operator*() { return *p_; }
  const T& operator*() const { return *p_; }

 private:
  T* p_;
};

}  // namespace kemo
