#include "TColorArrayClass.h"

#include <algorithm>

TColorArrayClass::TColorArrayClass(int xSize, int ySize)
    : m_xSize(std::max(0, xSize)), m_ySize(std::max(0, ySize))
{
    reallocate();
}

void TColorArrayClass::reallocate()
{
    m_colors.assign(size_t(m_xSize) * size_t(m_ySize), 0u);
}

void TColorArrayClass::setXSize(int xSize)
{
    xSize = std::max(0, xSize);
    if (xSize == m_xSize)
        return;
    m_xSize = xSize;
    reallocate();
}

void TColorArrayClass::setYSize(int ySize)
{
    ySize = std::max(0, ySize);
    if (ySize == m_ySize)
        return;
    m_ySize = ySize;
    reallocate();
}

int TColorArrayClass::flatIndex(int x, int y) const
{
    if (x < 1 || x > m_xSize || y < 1 || y > m_ySize)
        throw EColorArrayIndexError();
    return x + (y - 1) * m_xSize;
}

uint32_t TColorArrayClass::cell(int x, int y) const
{
    return m_colors[size_t(flatIndex(x, y) - 1)];
}

void TColorArrayClass::setCell(int x, int y, uint32_t color)
{
    m_colors[size_t(flatIndex(x, y) - 1)] = color;
}

uint32_t TColorArrayClass::at(int index) const
{
    if (index < 1 || index > count())
        throw EColorArrayIndexError();
    return m_colors[size_t(index - 1)];
}

void TColorArrayClass::setAt(int index, uint32_t color)
{
    if (index < 1 || index > count())
        throw EColorArrayIndexError();
    m_colors[size_t(index - 1)] = color;
}

void TColorArrayClass::assign(const TColorArrayClass &other)
{
    if (&other == this)
        return;
    m_xSize = other.m_xSize;
    m_ySize = other.m_ySize;
    m_colors = other.m_colors;
}

bool TColorArrayClass::equals(const TColorArrayClass *other) const
{
    if (!other)
        return false;
    if (other == this)
        return true;
    return m_xSize == other->m_xSize && m_ySize == other->m_ySize && m_colors == other->m_colors;
}

QList<uint32_t> TColorArrayClass::storedColors() const
{
    QList<uint32_t> out;
    out.reserve(count());
    for (int x = 1; x <= m_xSize; ++x)
        for (int y = 1; y <= m_ySize; ++y)
            out.append(cell(x, y));
    return out;
}

void TColorArrayClass::readStored(int xSize, int ySize, const QList<uint32_t> &colors)
{
    m_xSize = std::max(0, xSize);
    m_ySize = std::max(0, ySize);
    reallocate();
    if (colors.size() > count())
        throw EColorArrayIndexError();
    int i = 0;
    for (int x = 1; x <= m_xSize; ++x)
        for (int y = 1; y <= m_ySize && i < colors.size(); ++y)
            setCell(x, y, colors.at(i++));
}
