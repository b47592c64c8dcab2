// The library's reference-counted pointer. Counts are plain integers: a Ptr
// and its copies stay on one thread.
#pragma once

#include <cstdint>

namespace talvo {

struct PtrRefsData {
  int32_t use_count;
  int32_t weak_count;
};

// The reference block: every strong reference holds one use and one weak
// count; the object lives while the use count is above 0, the block while the
// weak count is.
class PtrRefs : public PtrRefsData {
 public:
  PtrRefs() : PtrRefsData{1, 1} {}
  PtrRefs(const PtrRefs&) = delete;
  PtrRefs& operator=(const PtrRefs&) = delete;

  // Deletes the object.
  virtual void dispose() = 0;
  // Deletes the block itself.
  virtual void destroy() { delete this; }
  virtual ~PtrRefs() = default;

  void add_ref() {
    ++use_count;
    ++weak_count;
  }
  void release() {
    if (--use_count < 1) dispose();
    release_weak();
  }
  void release_weak() {
    if (--weak_count < 1) destroy();
  }
};

template <class T>
struct CheckedDeleter {
  void operator()(T* object) const {
    static_assert(sizeof(T) > 0, "CheckedDeleter needs a complete type");
    delete object;
  }
};

template <class P, class D>
class PtrRefsImpl : public PtrRefs {
 public:
  explicit PtrRefsImpl(P object) : object_(object) {}
  void dispose() override {
    deleter_(object_);
    object_ = nullptr;
  }

 private:
  P object_;
  D deleter_;
};

template <class T>
class Ptr {
 public:
  Ptr() = default;
  // Owns the object from now on. When the reference block cannot be
  // allocated, the object is deleted and the failure leaves the constructor.
  explicit Ptr(T* object) : object_(object) {
    if (!object) return;
    try {
      refs_ = new PtrRefsImpl<T*, CheckedDeleter<T>>(object);
    } catch (...) {
      CheckedDeleter<T>()(object);
      throw;
    }
  }
  Ptr(const Ptr& other) : object_(other.object_), refs_(other.refs_) {
    if (refs_) refs_->add_ref();
  }
  // Takes the other's reference and releases this one, unless both already
  // share one block (self-assignment included).
  Ptr& operator=(const Ptr& other) {
    if (refs_ == other.refs_) {
      object_ = other.object_;
      return *this;
    }
    if (other.refs_) other.refs_->add_ref();
    PtrRefs* old = refs_;
    object_ = other.object_;
    refs_ = other.refs_;
    if (old) old->release();
    return *this;
  }
  ~Ptr() { reset(); }

  void reset() {
    PtrRefs* refs = refs_;
    object_ = nullptr;
    refs_ = nullptr;
    if (refs) refs->release();
  }

  T* get() const { return object_; }
  T& operator*() const { return *object_; }
  T* operator->() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // The reference block, null for a null pointer.
  const PtrRefs* refs() const { return refs_; }

 private:
  T* object_ = nullptr;
  PtrRefs* refs_ = nullptr;
};

}  // namespace talvo
