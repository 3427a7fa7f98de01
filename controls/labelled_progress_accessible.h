// What assistive technology learns of the labelled progress bar: its position in the range as
// the value, and the percentage or label it shows as the value's text.
#pragma once

// Makes every labelled progress bar answer through its own accessible interface; safe to call
// more than once.
void InstallLabelledProgressAccessibility();
