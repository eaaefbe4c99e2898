// Seconds of a steady clock, for short budgets and intervals. GetTickCount will not
// do: under Wine it moves in steps of about 16 ms.
#pragma once

double SteadySeconds();
