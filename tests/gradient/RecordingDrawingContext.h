#pragma once

#include <cstdint>
#include <new>
#include <vector>

#include "DrawingContext.h"

// Records every call in order; pens are plain counters. Can be told to throw
// std::bad_alloc from the n-th createPen.
class RecordingDrawingContext : public DrawingContext
{
  public:
    enum class Op { Move, CreatePen, Select, Line, Delete };
    struct Call
    {
        Op op;
        std::int32_t a = 0;
        std::int32_t b = 0;
        std::int32_t c = 0;
    };

    static constexpr Handle kStockPen = 1000;

    Handle createPen(std::int32_t style, std::int32_t width, std::int32_t colour) override
    {
        if (m_failPenAt >= 0 && m_pensMade == m_failPenAt) {
            throw std::bad_alloc();
        }
        ++m_pensMade;
        ++m_live;
        calls.push_back({Op::CreatePen, style, width, colour});
        return static_cast<Handle>(m_pensMade);
    }
    Handle selectObject(Handle object) override
    {
        calls.push_back({Op::Select, object});
        const Handle previous = selected;
        selected = object;
        return previous;
    }
    bool moveTo(std::int32_t x, std::int32_t y, PixelPoint *previous) override
    {
        calls.push_back({Op::Move, x, y});
        if (previous != nullptr) {
            *previous = m_position;
        }
        m_position = {x, y};
        return true;
    }
    bool lineTo(std::int32_t x, std::int32_t y) override
    {
        calls.push_back({Op::Line, x, y, selected});
        m_position = {x, y};
        return true;
    }
    bool deleteObject(Handle object) override
    {
        calls.push_back({Op::Delete, object});
        --m_live;
        return true;
    }

    void failPenAt(int index) { m_failPenAt = index; }
    [[nodiscard]] int livePens() const { return m_live; }

    std::vector<Call> calls;
    Handle selected = kStockPen;

  private:
    PixelPoint m_position;
    int m_pensMade = 0;
    int m_failPenAt = -1;
    int m_live = 0;
};
