#pragma once
// Registers every framework class a form text may name (controls, forms, timers). Called
// from each program's and each test's main, before any form is read.
void RegisterFrameworkClasses();
