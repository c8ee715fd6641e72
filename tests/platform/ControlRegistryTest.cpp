#include "platform/ControlRegistry.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

using namespace quillon::platform;

namespace {

ControlKey key(int i)
{
    return {QStringLiteral(":1.%1").arg(i % 7), QStringLiteral("/org/a11y/atspi/accessible/%1").arg(i)};
}

}  // namespace

TEST(ControlRegistry, HandlesAreStablePerControlAndNeverLookLikeWindowIds)
{
    ControlRegistry registry;
    std::set<WindowHandle> seen;
    for (int i = 0; i < 1000; ++i) {
        const WindowHandle h = registry.handleFor(key(i));
        EXPECT_TRUE(isControlHandle(h));
        // X resource ids leave the top three bits clear; a handle never does.
        EXPECT_NE(h & 0xE0000000u, 0u);
        // Scripts carry handles as signed decimal text.
        EXPECT_LE(h, 0x7FFFFFFFu);
        EXPECT_TRUE(seen.insert(h).second);
    }
    EXPECT_EQ(registry.handleFor(key(5)), registry.handleFor(key(5)));
    EXPECT_EQ(registry.lookup(registry.handleFor(key(9))), key(9));
}

TEST(ControlRegistry, HandlesNotHandedOutFindNothing)
{
    ControlRegistry registry;
    const WindowHandle h = registry.handleFor(key(1));
    for (WindowHandle other : {0u, 0x00400001u, 0x1FFFFFFFu, 0x40000000u, h + 1, h | 0x80000000u,
                               0xFFFFFFFFu})
        EXPECT_FALSE(registry.lookup(other).has_value()) << other;
}

TEST(ControlRegistry, AForgottenControlStaysBadAndItsSerialIsNeverReused)
{
    ControlRegistry registry;
    const WindowHandle gone = registry.handleFor(key(1));
    registry.forget(gone);
    EXPECT_FALSE(registry.lookup(gone).has_value());
    // The same control met again is a new control to scripts.
    const WindowHandle again = registry.handleFor(key(1));
    EXPECT_NE(again, gone);
    EXPECT_FALSE(registry.lookup(gone).has_value());
    EXPECT_EQ(registry.lookup(again), key(1));
}

TEST(ControlRegistry, BeyondItsCapacityTheLeastRecentlyUsedAreForgotten)
{
    ControlRegistry registry(100);
    const WindowHandle kept = registry.handleFor(key(0));
    const WindowHandle old = registry.handleFor(key(1));
    for (int i = 2; i < 300; ++i) {
        registry.handleFor(key(i));
        registry.lookup(kept);  // used all along
    }
    EXPECT_LE(registry.size(), 100u);
    EXPECT_EQ(registry.lookup(kept), key(0));
    EXPECT_FALSE(registry.lookup(old).has_value());
    EXPECT_EQ(registry.lookup(registry.handleFor(key(299))), key(299));
}

TEST(ControlRegistry, ThreadsMeetingTheSameControlsGetTheSameHandles)
{
    ControlRegistry registry;
    std::vector<std::vector<WindowHandle>> results(4);
    std::vector<std::thread> threads;
    for (auto& result : results)
        threads.emplace_back([&registry, &result] {
            for (int i = 0; i < 2000; ++i)
                result.push_back(registry.handleFor(key(i)));
        });
    for (auto& t : threads)
        t.join();
    for (const auto& result : results)
        EXPECT_EQ(result, results[0]);
    EXPECT_EQ(registry.size(), 2000u);
}
