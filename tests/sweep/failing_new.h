// This test program's replacement of operator new: while a guard lives, the
// calling thread's allocations are counted, and the nth of them fails (the
// throwing forms throw std::bad_alloc, the nothrow forms return null).
//
// Only allocations made by code linked into this program, and optionally by
// the C++ standard library, are counted: shared libraries such as the OpenCL
// platform and its compiler are not built to survive a throwing allocation,
// and the effect's promise does not cover them.
#ifndef TARSIVEL_TESTS_SWEEP_FAILING_NEW_H
#define TARSIVEL_TESTS_SWEEP_FAILING_NEW_H

namespace tarsivel::testing {

class FailingNew {
  public:
    enum class Callers { Program, ProgramAndStandardLibrary };

    // nth 0 only counts.
    explicit FailingNew(long nth, Callers callers = Callers::ProgramAndStandardLibrary);
    ~FailingNew();
    FailingNew(const FailingNew&) = delete;
    FailingNew& operator=(const FailingNew&) = delete;

    // Stops counting and failing before the guard goes.
    void Stop();

    // Allocations counted so far, and whether the nth was failed.
    long Counted() const;
    bool Failed() const;
};

}  // namespace tarsivel::testing

#endif
