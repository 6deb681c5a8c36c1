/// @file
/// tskbase/reference_count.h - an atomic reference count for shared objects.
///
/// ReferenceCount only counts: Release never deletes anything. The owner that
/// sees Release return 0 decides what happens to the object.
///
/// @code
///   class Session : public ReferenceCount { ... };
///   session->AddRef();                  // another owner
///   if (session->Release() == 0) delete session;
/// @endcode
///
/// AddRef, Release, QueryRef and SetRefs are single sequentially consistent
/// atomic operations: any number of threads may call them on one object, and
/// each returns exactly the count its own operation produced or saw. C++ only.
#ifndef TSKBASE_REFERENCE_COUNT_H
#define TSKBASE_REFERENCE_COUNT_H

#include "tskbase/common.h"

/// The counting interface. The virtual functions keep this order, which is
/// the order of the slots in the table of every implementation.
class TSKBASE_API IReferenceCount {
public:
  /// Adds 1 to the count and returns the new count.
  virtual uint64_t AddRef() = 0;
  /// Subtracts 1 from the count and returns the new count.
  virtual uint64_t Release() = 0;
  /// The current count.
  virtual uint64_t QueryRef() const = 0;

protected:
  /// Replaces the count and returns the previous one.
  virtual uint64_t SetRefs(uint64_t count) = 0;

public:
  /// Destroys the object; the count plays no part.
  virtual ~IReferenceCount();
};

/// The atomic reference count: a base class for objects with several owners.
class TSKBASE_API ReferenceCount : public IReferenceCount {
public:
  /// Starts counting at `initial`: the creator is the first owner.
  explicit ReferenceCount(uint64_t initial = 1);
  /// Starts from other.QueryRef(), read atomically through the virtual call.
  ReferenceCount(const ReferenceCount& other);
  /// Copies the count as a plain value: the source must not change meanwhile.
  ReferenceCount& operator=(const ReferenceCount& other);
  /// Destroys the object whatever its count.
  ~ReferenceCount() override;

  /// @{
  /// Add or subtract 1 and return the new count. Release below 0 wraps to
  /// the largest 64-bit value; nothing is checked.
  uint64_t AddRef() override;
  uint64_t Release() override;
  uint64_t QueryRef() const override;
  /// @}

protected:
  /// Replaces the count and returns the previous one.
  uint64_t SetRefs(uint64_t count) override;

private:
  alignas(8) mutable uint64_t count_;
};

#endif // TSKBASE_REFERENCE_COUNT_H
