/* The one road from a desktop's caller into a function of the program. A thunk (Thunks.cpp) holds
   "movl $record, %ecx; jmp _PersonalityThunkDispatch"; the record is { function, argument words,
   kind, filter }. The caller has pushed the words and expects the callee to remove them (the
   desktop's convention); the program's function is called with a copy and must leave it (the
   handheld's). A filter first sees the words and may answer in the program's place a call the
   handheld would never make. */
	.text
	.globl _PersonalityThunkDispatch
	.p2align 4
_PersonalityThunkDispatch:
	pushl %ebp
	movl %esp, %ebp
	pushl %esi
	pushl %edi
	pushl %ebx
	movl %ecx, %ebx              /* the record */
	movl 12(%ebx), %eax          /* its filter, if any */
	testl %eax, %eax
	jz 4f
	subl $4, %esp                /* the filter's result */
	pushl %esp
	leal 8(%ebp), %ecx
	pushl %ecx                   /* the caller's words */
	call *%eax
	addl $8, %esp
	popl %edx
	testl %eax, %eax
	jz 4f
	movl %edx, %eax              /* answered in the program's place */
	jmp 3f
4:	movl 4(%ebx), %ecx           /* argument words */
	leal 8(%ebp,%ecx,4), %esi    /* just past the caller's last word */
1:	testl %ecx, %ecx
	jz 2f
	subl $4, %esi
	pushl (%esi)
	decl %ecx
	jmp 1b
2:	movl %esp, %edi              /* the stack as the callee must leave it */
	call *(%ebx)
	cmpl %esp, %edi
	je 3f
	movl %esp, %ecx
	subl %edi, %ecx              /* bytes the callee removed: never returns */
	movl %edi, %esp
	pushl %ecx
	pushl %ebx
	call _PersonalityStackFault
3:	movl 4(%ebx), %ecx
	leal -12(%ebp), %esp
	popl %ebx
	popl %edi
	popl %esi
	popl %ebp
	popl %edx                    /* the return address; then the caller's words go */
	leal (%esp,%ecx,4), %esp
	jmp *%edx
