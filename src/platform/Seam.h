#pragma once
// A seam: one process-wide value that the program reads and a test may
// stand in for, such as the program's directory or the decoder factory.
// Every seam has the same shape:
//
//   - it is an object named for what it holds (`ProgramDir::seam`,
//     `PlayerBackend::factorySeam`, ...), created with the program's own
//     value; the program reads it with get();
//   - a test stands in for it only through an Override, which puts back
//     the value it found when it goes, also when a check fails halfway:
//         const auto server = Addresses::serverSeam.standIn(base);
//     Overrides nest; one that must outlive a scope (from a test case's
//     initTestCase to its cleanupTestCase) is held in a std::optional
//     (`std::optional<Seam<QString>::Override>`, emplace(seam, value)).
//   - a seam may name a function that runs after every change, for a
//     unit that keeps something built from the value.
//
// A stand-in that serves once (an answer for the next dialog) is taken with
// take(), which leaves the program's own value in its place.
#include <utility>

template <typename T> class Seam {
public:
    explicit Seam(T real = T(), void (*changed)() = nullptr)
        : m_real(real), m_value(std::move(real)), m_changed(changed)
    {}
    Seam(const Seam &) = delete;
    Seam &operator=(const Seam &) = delete;

    const T &get() const { return m_value; }

    T take()
    {
        T value = std::exchange(m_value, m_real);
        notify();
        return value;
    }

    class Override {
    public:
        Override(Seam &seam, T value) : m_seam(seam), m_previous(std::exchange(seam.m_value, std::move(value)))
        {
            m_seam.notify();
        }
        ~Override()
        {
            m_seam.m_value = std::move(m_previous);
            m_seam.notify();
        }
        Override(const Override &) = delete;
        Override &operator=(const Override &) = delete;

    private:
        Seam &m_seam;
        T m_previous;
    };

    // Stand in for the seam until the returned object goes.
    [[nodiscard]] Override standIn(T value) { return Override(*this, std::move(value)); }

private:
    void notify()
    {
        if (m_changed)
            m_changed();
    }

    const T m_real;
    T m_value;
    void (*const m_changed)();
};
