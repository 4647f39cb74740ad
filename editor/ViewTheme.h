#pragma once

// The editor's two views of the same parameters.
enum class ViewTheme : int
{
    Rack = 0,
    Pedal = 1
};
