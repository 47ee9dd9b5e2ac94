// Makes the next array allocations of the calling thread that ask for memory
// without exceptions (new (std::nothrow) T[n]) fail, for as long as the guard
// lives, so that out-of-memory paths can be driven without exhausting memory.
#ifndef TARSIVEL_TESTS_RENDER_FAILING_ALLOCATION_H
#define TARSIVEL_TESTS_RENDER_FAILING_ALLOCATION_H

namespace tarsivel::testing {

class NothrowArrayAllocationsFail {
  public:
    NothrowArrayAllocationsFail();
    ~NothrowArrayAllocationsFail();
    NothrowArrayAllocationsFail(const NothrowArrayAllocationsFail&) = delete;
    NothrowArrayAllocationsFail& operator=(const NothrowArrayAllocationsFail&) = delete;

    // How many allocations were refused so far.
    int Refused() const;
};

}  // namespace tarsivel::testing

#endif
