#pragma once

#include <QList>
#include <cstdint>
#include <stdexcept>
#include <vector>

// Raised for any cell or single index outside a colour grid.
class EColorArrayIndexError : public std::out_of_range
{
public:
    EColorArrayIndexError() : std::out_of_range("Array index out of bounds") {}
};

// A rectangular grid of colours (0x00BBGGRR, or 0x80000000 + n for system colour n).
// Cell (x, y) counts both from 1; rows are stored one after another, so cell (x, y)
// is entry x + (y - 1) * XSize of the flat list, and a single index k (1-based)
// addresses that list directly.
class TColorArrayClass
{
public:
    TColorArrayClass() = default;
    TColorArrayClass(int xSize, int ySize);

    int XSize() const { return m_xSize; }
    int YSize() const { return m_ySize; }
    int count() const { return m_xSize * m_ySize; }

    // Changing a size to a different value reallocates the grid; the previous
    // colours are not kept and the new cells are 0. Negative sizes count as 0.
    void setXSize(int xSize);
    void setYSize(int ySize);

    uint32_t cell(int x, int y) const;
    void setCell(int x, int y, uint32_t color);
    uint32_t at(int index) const;
    void setAt(int index, uint32_t color);

    // Copies both sizes and all colours.
    void assign(const TColorArrayClass &other);

    // Same object, or same sizes and every cell equal; a missing grid is unequal.
    bool equals(const TColorArrayClass *other) const;
    bool operator==(const TColorArrayClass &other) const { return equals(&other); }

    // Stored form: XSize, YSize, then every colour column by column (for x = 1..XSize,
    // for y = 1..YSize).
    QList<uint32_t> storedColors() const;
    // Reads the stored form back: sizes first, then the colours in the same order.
    // More colours than the grid holds raise EColorArrayIndexError; fewer leave the
    // remaining cells 0.
    void readStored(int xSize, int ySize, const QList<uint32_t> &colors);

private:
    void reallocate();
    int flatIndex(int x, int y) const;

    int m_xSize = 0;
    int m_ySize = 0;
    std::vector<uint32_t> m_colors;
};
