// This test program's replacement of operator new: while a guard lives, the
// calling thread's allocations are counted, and the nth of them fails (the
// throwing forms throw std::bad_alloc, the nothrow forms return null).
//
// Only allocations asked for by code linked into this program or by the C++
// standard library are counted, and none made inside an Outside scope (the
// calls into the OpenCL platform): other libraries are not built to survive a
// throwing allocation, and the effect's promise does not cover them.
#ifndef TARSIVEL_TESTS_SWEEP_FAILING_NEW_H
#define TARSIVEL_TESTS_SWEEP_FAILING_NEW_H

namespace tarsivel::testing {

class FailingNew {
  public:
    // nth 0 only counts.
    explicit FailingNew(long nth);
    ~FailingNew();
    FailingNew(const FailingNew&) = delete;
    FailingNew& operator=(const FailingNew&) = delete;

    // Stops counting and failing before the guard goes.
    void Stop();

    // Allocations counted so far, and whether the nth was failed.
    long Counted() const;
    bool Failed() const;

    // Neither counts nor fails the calling thread's allocations while it lives.
    class Outside {
      public:
        Outside();
        ~Outside();
        Outside(const Outside&) = delete;
        Outside& operator=(const Outside&) = delete;
    };
};

}  // namespace tarsivel::testing

#endif
