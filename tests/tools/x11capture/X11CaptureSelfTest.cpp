// x11capture.dll, the tests' eye on the X display: what a window shows, read back
// at the window's screen position, and the rectangles it refuses.

#include "HostWindow.h"
#include "X11Capture.h"

#include <gtest/gtest.h>

#include <vector>

TEST(X11CaptureTest, ReadsWhatAWindowShowsAtItsScreenPosition)
{
    const int width = 64, height = 48;
    HostWindow window(width, height, L"X11Capture self-test");
    SetWindowPos(window.Handle(), HWND_TOPMOST, 200, 160, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    HostWindow::PumpMessages();
    HDC dc = GetDC(window.Handle());
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0)), blue = CreateSolidBrush(RGB(0, 0, 255));
    RECT left = {0, 0, width / 2, height}, right = {width / 2, 0, width, height};
    FillRect(dc, &left, red);
    FillRect(dc, &right, blue);
    GdiFlush();
    ReleaseDC(window.Handle(), dc);
    DeleteObject(red);
    DeleteObject(blue);

    // A shifted origin shows as the frame in the top row or the boundary off by a column.
    POINT origin = {0, 0};
    ClientToScreen(window.Handle(), &origin);
    std::vector<unsigned int> pixels(width * height);
    int wrong = -1;
    for (int attempt = 0; attempt < 20 && wrong != 0; ++attempt) {
        Sleep(100);
        HostWindow::PumpMessages();
        ASSERT_EQ(X11Capture(origin.x, origin.y, width, height, pixels.data()), 1)
            << "x11capture.so not loaded, or no X display";
        wrong = 0;
        for (int i = 0; i < width * height; ++i)
            wrong += pixels[i] != (i % width < width / 2 ? 0xFFFF0000u : 0xFF0000FFu);
    }
    EXPECT_EQ(wrong, 0) << "top-left " << std::hex << pixels[0] << ", top-right " << pixels[width - 1];
}

TEST(X11CaptureTest, RefusesRectanglesItCannotReadAndLeavesThePixelsAlone)
{
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    unsigned int pixels[4] = {1, 2, 3, 4};
    EXPECT_EQ(X11Capture(0, 0, 1, 1, nullptr), 0);
    EXPECT_EQ(X11Capture(0, 0, 0, 1, pixels), 0);
    EXPECT_EQ(X11Capture(0, 0, 1, -1, pixels), 0);
    EXPECT_EQ(X11Capture(-1, 0, 1, 1, pixels), 0);
    EXPECT_EQ(X11Capture(screenWidth - 1, 0, 2, 1, pixels), 0);
    EXPECT_EQ(X11Capture(0, screenHeight - 1, 1, 2, pixels), 0);
    EXPECT_EQ(X11Capture(0, 0, 20000, 1, pixels), 0);
    EXPECT_EQ(pixels[0] + pixels[1] + pixels[2] + pixels[3], 10u);
    // The Windows screen is the X root window: its last pixel is there to read.
    EXPECT_EQ(X11Capture(screenWidth - 1, screenHeight - 1, 1, 1, pixels), 1);
    EXPECT_EQ(pixels[0] >> 24, 0xFFu);
}
