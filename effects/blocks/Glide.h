#pragma once

// A smoothed model value: each sample it moves 0.001 of the remaining
// distance to its target, after the sample has used the current value.
struct Glide
{
    double current = 0.0;
    double target = 0.0;

    Glide() = default;
    explicit Glide (double value) : current (value), target (value) {}

    void setTarget (double value) noexcept { target = value; }
    void jump (double value) noexcept { current = target = value; }

    void step() noexcept
    {
        if (current != target)
            current += (target - current) * 0.001;
    }
};
