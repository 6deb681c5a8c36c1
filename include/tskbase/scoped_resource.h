/// @file
/// tskbase/scoped_resource.h - a holder that releases one operating-system
/// resource when it goes out of scope.
///
/// ScopedResource<T, Deleter> owns a resource value T (a pointer or handle)
/// from its construction on and, when destroyed, passes it to Deleter unless
/// it is null or ownership was given up with Release(). Deleter is a class
/// whose call operator releases a T:
///
/// @code
///   struct LocalFreeDeleter {
///     void operator()(wchar_t* text) const { LocalFree(text); }
///   };
///   Tarsk::ScopedResource<wchar_t*, LocalFreeDeleter> message(buffer);
/// @endcode
///
/// The third parameter is what Release() does with the resource it hands
/// back, besides handing it back: by default (NoOp) nothing. Holders are not
/// copied. Header only, C++ only.
#ifndef TSKBASE_SCOPED_RESOURCE_H
#define TSKBASE_SCOPED_RESOURCE_H

namespace Tarsk {

/// The default action of Release(): none.
template <typename T>
struct NoOp {
  /// Does nothing with the resource.
  void operator()(T) const noexcept {}
};

/// Owns one resource of type T and passes it to Deleter when destroyed.
template <typename T, typename Deleter, typename OnRelease = NoOp<T>>
class ScopedResource {
public:
  /// Takes ownership of `resource`; a null one is held but never released.
  explicit ScopedResource(T resource) noexcept : owned_(true), resource_(resource) {}

  /// Releases the resource through Deleter unless it is null or no longer
  /// owned.
  virtual ~ScopedResource() {
    if (owned_) {
      owned_ = false;
      if (resource_ != nullptr) {
        Deleter()(resource_);
      }
    }
  }

  /// @{
  /// Holders are not copied.
  ScopedResource(const ScopedResource&) = delete;
  ScopedResource& operator=(const ScopedResource&) = delete;
  /// @}

  /// The resource, still owned by the holder.
  T Get() const noexcept { return resource_; }

  /// Whether the holder will release the resource when destroyed.
  bool Owns() const noexcept { return owned_; }

  /// Gives up ownership: the holder releases nothing any more, and the caller
  /// becomes responsible for the returned resource.
  T Release() noexcept {
    owned_ = false;
    OnRelease()(resource_);
    return resource_;
  }

private:
  bool owned_;
  T resource_;
};

} // namespace Tarsk

#endif // TSKBASE_SCOPED_RESOURCE_H
