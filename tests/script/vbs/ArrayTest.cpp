// Arrays as loops use them: element reads and writes that allocate nothing,
// ReDim Preserve that grows storage in amortised steps, and the values and
// errors of ReDim Preserve.
#include "VbsTestUtil.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>

// Sanitizers bring allocators of their own, which these must not replace.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
#define QUILLON_COUNTS_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
#define QUILLON_COUNTS_ALLOCATIONS 0
#endif
#endif
#ifndef QUILLON_COUNTS_ALLOCATIONS
#define QUILLON_COUNTS_ALLOCATIONS 1
#endif

namespace {
thread_local size_t* t_allocations = nullptr;
}  // namespace

#if QUILLON_COUNTS_ALLOCATIONS
// Every allocation of this program goes through these, so a test can count
// the allocations a stretch of its own thread makes. They forward to the C
// library's allocator.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
}

namespace {
void counted()
{
    if (t_allocations)
        ++*t_allocations;
}
}  // namespace

extern "C" {
void* malloc(size_t size)
{
    counted();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size)
{
    counted();
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size)
{
    counted();
    return __libc_realloc(block, size);
}
void free(void* block)
{
    __libc_free(block);
}
}
#endif

namespace quillon::vbs::test {
namespace {

// Counts the allocations of the calling thread while it lives.
class AllocationCount {
public:
    AllocationCount() { t_allocations = &m_count; }
    ~AllocationCount() { t_allocations = nullptr; }
    size_t value() const { return m_count; }

private:
    size_t m_count = 0;
};

TEST(VbsArrays, ElementReadsAndWritesAllocateNothing)
{
    if (!QUILLON_COUNTS_ALLOCATIONS)
        GTEST_SKIP() << "a sanitizer owns the allocator in this build";
    ScriptHost host;
    ASSERT_TRUE(host.executeStatement(u"ReDim a(99) : ReDim b(9, 9) : s = 0 : i = 5 : t = \"text\""));
    const char16_t* lines[] = {
        u"a(i) = i",
        u"s = s + a(i)",
        u"a(i + 1) = a(i) * 2 + a(i - 1)",
        u"b(i, 2) = a(i)",
        u"s = s - b(i, 2)",
        u"a(i) = t",
        u"u = a(i)",
    };
    for (const char16_t* line : lines)
        ASSERT_TRUE(host.executeStatement(line)) << host.error().description.toStdString();
    Value v;
    ASSERT_TRUE(host.eval(u"a(i + 1) > b(i, 2)", v));

    AllocationCount count;
    for (int pass = 0; pass < 100; ++pass) {
        for (const char16_t* line : lines)
            host.executeStatement(line);
        host.eval(u"a(i + 1) > b(i, 2)", v);
    }
    EXPECT_EQ(count.value(), 0u);
    EXPECT_EQ(outcome(host, "", "u & \" \" & b(5, 2) & \" \" & a(6)"), "=text 5 10");
}

// How often the array's storage moved while it grew by one element per
// ReDim Preserve. The host is asked for the array between steps and the copy
// is dropped at once, so the storage is never shared when it grows.
int storageMoves(ScriptHost& host, int steps)
{
    int moves = 0;
    const void* last = nullptr;
    for (int i = 0; i < steps; ++i) {
        if (!host.executeStatement(QStringLiteral("ReDim Preserve a(%1) : a(%1) = %1").arg(i)))
            return -1;
        Value v;
        if (!host.eval(u"a", v) || !v.isArray())
            return -1;
        const void* storage = v.arrayValue()->items.data();
        if (storage != last)
            ++moves;
        last = storage;
    }
    return moves;
}

TEST(VbsArrays, ReDimPreserveGrowsStorageInAmortisedSteps)
{
    ScriptHost host;
    ASSERT_TRUE(host.executeStatement(u"Dim a()"));
    const int moves = storageMoves(host, 4000);
    ASSERT_GE(moves, 1);
    // Doubling needs about log2(4000) = 12 moves; a copy per step would need 4000.
    EXPECT_LT(moves, 40);
    EXPECT_EQ(outcome(host, "", "UBound(a) & \" \" & a(0) & \" \" & a(1234) & \" \" & a(3999)"), "=3999 0 1234 3999");
}

TEST(VbsArrays, ReDimPreserveKeepsValuesAndCopiesStayApart)
{
    const struct {
        const char* setup;
        const char* expression;
        const char* expected;
    } cases[] = {
        {"ReDim a(2) : a(0) = 1 : a(2) = 3 : ReDim Preserve a(4)", "a(0) & a(1) & a(2) & IsEmpty(a(4))", "=13True"},
        {"ReDim a(4) : a(1) = 7 : a(4) = 9 : ReDim Preserve a(1) : ReDim Preserve a(4)", "a(1) & \"|\" & a(4)", "=7|"},
        {"ReDim a(1, 1) : a(1, 0) = 5 : a(0, 1) = 6 : ReDim Preserve a(1, 3)", "a(1, 0) & a(0, 1) & UBound(a, 2)", "=563"},
        {"ReDim a(1) : a(0) = 1 : b = a : ReDim Preserve a(3) : a(0) = 2", "UBound(b) & b(0) & a(0)", "=112"},
        {"ReDim a(1) : a(0) = \"x\" : b = a : ReDim Preserve a(0)", "UBound(b) & b(0) & UBound(a) & a(0)", "=1x0x"},
        {"ReDim a(1, 1) : ReDim Preserve a(2, 1)", "UBound(a)", "setup failed: 9 Subscript out of range"},
        {"ReDim a(1) : ReDim Preserve a(1, 1)", "UBound(a)", "setup failed: 9 Subscript out of range"},
        {"Dim a(1) : ReDim Preserve a(2)", "UBound(a)", "setup failed: 10 This array is fixed or temporarily locked"},
        {"ReDim a(1) : a(1) = 4 : ReDim Preserve a(-1)", "UBound(a)", "=-1"},
        {"ReDim a(1) : On Error Resume Next : ReDim Preserve a(-2)", "UBound(a) & Err.Number", "=19"},
    };
    for (const auto& c : cases) {
        ScriptHost host;
        EXPECT_EQ(outcome(host, c.setup, c.expression), c.expected) << "setup: " << c.setup;
    }
}

}  // namespace
}  // namespace quillon::vbs::test
