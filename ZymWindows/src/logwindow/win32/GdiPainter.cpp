#include "logwindow/win32/GdiPainter.h"

namespace ZymWindows::Platform {

namespace {

using LogWindow::Colour;
using LogWindow::PaintOp;

constexpr const wchar_t* FONT_FACE = L"Tahoma";

HFONT NewFont(int weight, bool struckOut) {
    return ::CreateFontW(LogWindow::ROW_HEIGHT, 0, 0, 0, weight, FALSE, FALSE, struckOut,
                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH, FONT_FACE);
}

RECT ToRect(const LogWindow::Rect& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

} // namespace

GdiPainter::GdiPainter()
    : m_Bold(NewFont(FW_BOLD, false)), m_Normal(NewFont(FW_NORMAL, false)),
      m_Struck(NewFont(FW_NORMAL, true)), m_White(::CreateSolidBrush(LogWindow::WHITE)),
      m_Time(NewFont(FW_NORMAL, false)), m_Grey(::CreateSolidBrush(LogWindow::GREY)),
      m_LightGrey(::CreateSolidBrush(LogWindow::LIGHT_GREY)) {}

GdiPainter::~GdiPainter() {
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(m_Bold), static_cast<HGDIOBJ>(m_Normal),
                           static_cast<HGDIOBJ>(m_Struck), static_cast<HGDIOBJ>(m_White),
                           static_cast<HGDIOBJ>(m_Time), static_cast<HGDIOBJ>(m_Grey),
                           static_cast<HGDIOBJ>(m_LightGrey)})
        ::DeleteObject(object);
}

HFONT GdiPainter::FontOf(LogWindow::Font font) const noexcept {
    switch (font) {
    case LogWindow::Font::Bold:
        return m_Bold;
    case LogWindow::Font::Normal:
        return m_Normal;
    case LogWindow::Font::Struck:
        return m_Struck;
    case LogWindow::Font::Time:
        break;
    }
    return m_Time;
}

HBRUSH GdiPainter::BrushOf(Colour colour) const noexcept {
    switch (colour) {
    case LogWindow::WHITE:
        return m_White;
    case LogWindow::GREY:
        return m_Grey;
    case LogWindow::LIGHT_GREY:
        return m_LightGrey;
    default:
        return nullptr;
    }
}

void GdiPainter::Fill(HDC dc, const RECT& rect, Colour colour) const {
    if (const HBRUSH brush = BrushOf(colour)) {
        ::FillRect(dc, &rect, brush);
        return;
    }
    // Any other colour: an opaque text call without text fills the cell.
    ::SetBkColor(dc, colour);
    ::ExtTextOutW(dc, rect.left, rect.top, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void GdiPainter::Draw(HDC dc, const std::vector<PaintOp>& ops) const {
    const HGDIOBJ originalFont = ::GetCurrentObject(dc, OBJ_FONT);
    for (const PaintOp& op : ops) {
        const RECT rect = ToRect(op.rect);
        switch (op.kind) {
        case PaintOp::FILL:
            Fill(dc, rect, op.background);
            break;
        case PaintOp::TEXT:
            ::SelectObject(dc, FontOf(op.font));
            ::SetTextColor(dc, op.foreground);
            ::SetBkColor(dc, op.background);
            ::ExtTextOutW(dc, op.x, op.y, ETO_OPAQUE | ETO_CLIPPED, &rect,
                          reinterpret_cast<const wchar_t*>(op.text.c_str()),
                          static_cast<UINT>(op.text.size()), nullptr);
            break;
        case PaintOp::FRAME: {
            const HBRUSH brush = BrushOf(op.foreground);
            const HBRUSH made = brush ? nullptr : ::CreateSolidBrush(op.foreground);
            ::FrameRect(dc, &rect, brush ? brush : made);
            if (made)
                ::DeleteObject(made);
            break;
        }
        case PaintOp::FOCUS:
            ::DrawFocusRect(dc, &rect);
            break;
        case PaintOp::ARROW:
            // Only self-drawn scroll bars have arrows; these are the
            // system's.
            break;
        }
    }
    ::SelectObject(dc, originalFont);
}

} // namespace ZymWindows::Platform
