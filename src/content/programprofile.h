#pragma once

// Which of the two programs is running. Behaviour that differs between the full
// trainer and the compact strip (captions, row gaps, audio tables, scroll bar) asks
// this one value instead of living in twin classes.
enum class Program { Orvessa, Mini };
